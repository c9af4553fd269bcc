#pragma once

#include "ui/Palette.h"

#include <juce_gui_basics/juce_gui_basics.h>

/** What the licence and support overlays draw alike. */
namespace ov::overlay
{

/** A child's bounds from factors of the unit, each product rounded half to even. */
inline juce::Rectangle<int> scaledBounds (float u, float x, float y, float w, float h)
{
    return { juce::roundToInt (x * u), juce::roundToInt (y * u), juce::roundToInt (w * u), juce::roundToInt (h * u) };
}

/** The round "X" over the transparent close button, full grey only while the pointer is on it. */
inline void drawCloseGlyph (juce::Graphics& g, const juce::Button& closeButton, float u)
{
    const auto area = closeButton.getBounds().toFloat().reduced (2.0f * u);

    g.setColour (closeButton.isOver() ? palette::greyTextColour
                                      : palette::greyTextColour.withAlpha ((juce::uint8) 0x80));
    g.drawEllipse (area, 0.25f * u);
    g.setFont (juce::FontOptions (3.0f * u));
    g.drawText ("X", area, juce::Justification::centred, true);
}

} // namespace ov::overlay
