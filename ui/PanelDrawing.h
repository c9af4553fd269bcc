#pragma once

#include "ui/Palette.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

/** What the main panel and its overlays draw alike. */
namespace ov::drawing
{

/** A child's bounds from factors of the unit, each product rounded half to even. */
inline juce::Rectangle<int> scaledBounds (float u, float x, float y, float w, float h)
{
    return { juce::roundToInt (x * u), juce::roundToInt (y * u), juce::roundToInt (w * u), juce::roundToInt (h * u) };
}

/** An embedded SVG; its pure black becomes the dark ink when it is an inked icon. Null when it does not
    parse, and its place is then left empty. */
inline std::unique_ptr<juce::Drawable> parseIcon (const char* data, int size, bool inked)
{
    auto icon = juce::Drawable::createFromImageData (data, (size_t) size);

    if (icon != nullptr && inked)
        icon->replaceColour (juce::Colours::black, palette::darkInkColour);

    return icon;
}

/** An icon drawn within an area; one that could not be parsed simply leaves its place empty. */
inline void drawIcon (juce::Graphics& g, juce::Drawable* icon, juce::Rectangle<float> area,
                      juce::RectanglePlacement placement = juce::RectanglePlacement::centred)
{
    if (icon != nullptr)
        icon->drawWithin (g, area, placement, 1.0f);
}

/** An icon drawn in another colour, recoloured in place and back at once: the parsed icon is shared by every paint. */
inline void drawRecolouredIcon (juce::Graphics& g, juce::Drawable* icon, juce::Colour from, juce::Colour to,
                                juce::Rectangle<float> area,
                                juce::RectanglePlacement placement = juce::RectanglePlacement::centred)
{
    if (icon == nullptr)
        return;

    icon->replaceColour (from, to);
    icon->drawWithin (g, area, placement, 1.0f);
    icon->replaceColour (to, from);
}

/** Lines centred under one another in a band: a line wider than the band wraps (a long path within itself),
    and the text, starting at the font's height, gets smaller until all of it fits the band's height. */
inline juce::TextLayout fitLines (const juce::StringArray& lines, const juce::Font& font, juce::Colour colour,
                                  juce::Rectangle<float> band)
{
    juce::TextLayout layout;

    for (auto height = font.getHeight();; height *= 0.9f)
    {
        juce::AttributedString text (lines.joinIntoString ("\n"));
        text.setFont (font.withHeight (height));
        text.setColour (colour);
        text.setJustification (juce::Justification::horizontallyCentred);
        text.setWordWrap (juce::AttributedString::byWord);
        layout.createLayout (text, band.getWidth());

        if (layout.getHeight() <= band.getHeight() || height < 1.0f)
            return layout;
    }
}

/** The face of a clickable tile: green while pressed, brighter grey under the pointer. */
inline juce::Colour faceColour (const juce::Button& button)
{
    if (button.isDown())
        return palette::accentGreenColour;

    return palette::greyTextColour.withAlpha ((juce::uint8) (button.isOver() ? 191 : 128));
}

/** The round "X" over an overlay's transparent close button, full grey only while the pointer is on it. */
inline void drawCloseGlyph (juce::Graphics& g, const juce::Button& closeButton, float u)
{
    const auto area = closeButton.getBounds().toFloat().reduced (2.0f * u);

    g.setColour (closeButton.isOver() ? palette::greyTextColour
                                      : palette::greyTextColour.withAlpha ((juce::uint8) 0x80));
    g.drawEllipse (area, 0.25f * u);
    g.setFont (juce::FontOptions (3.0f * u));
    g.drawText ("X", area, juce::Justification::centred, true);
}

} // namespace ov::drawing
