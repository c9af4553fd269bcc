#pragma once

#include "ui/CustomLookAndFeel.h"
#include "ui/Palette.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdlib>
#include <functional>

namespace ov::test
{

/** The program's look installed for one test, as the main panel installs it. */
struct ScopedProgramLook
{
    ScopedProgramLook()   { juce::Desktop::getInstance().setDefaultLookAndFeel (&lookAndFeel); }
    ~ScopedProgramLook()  { juce::Desktop::getInstance().setDefaultLookAndFeel (nullptr); }

    CustomLookAndFeel lookAndFeel;
};

/** Lays a panel out at the given width (unit = width / 100, as the main panel sets it) and paints it. */
template <typename Panel>
juce::Image layOutAndPaint (Panel& panel, int width)
{
    panel.layoutUnit = (float) width * 0.01f;
    panel.setBounds (0, 0, width, width);

    juce::Image image (juce::Image::ARGB, width, width, true, juce::SoftwareImageType());
    juce::Graphics g (image);
    panel.paintEntireComponent (g, true);
    return image;
}

inline juce::Button* findButton (juce::Component& parent, const juce::String& name)
{
    for (auto* child : parent.getChildren())
        if (auto* button = dynamic_cast<juce::Button*> (child); button != nullptr && button->getName() == name)
            return button;

    return nullptr;
}

/** A palette colour at an alpha, as it shows over the panel's background. */
inline juce::Colour over (juce::Colour colour, int alpha)
{
    return palette::backgroundColour.overlaidWith (colour.withAlpha ((juce::uint8) alpha));
}

inline ::testing::AssertionResult colourNear (juce::Colour actual, juce::Colour expected, int tolerance = 2)
{
    const auto near = [tolerance] (juce::uint8 a, juce::uint8 b) { return std::abs ((int) a - (int) b) <= tolerance; };

    if (near (actual.getRed(), expected.getRed()) && near (actual.getGreen(), expected.getGreen())
        && near (actual.getBlue(), expected.getBlue()))
        return ::testing::AssertionSuccess();

    return ::testing::AssertionFailure() << "colour " << actual.toDisplayString (false)
                                         << " is not " << expected.toDisplayString (false);
}

/** The bounding box of the pixels in an area that pass a test; empty when none does. */
inline juce::Rectangle<int> inkBounds (const juce::Image& image, juce::Rectangle<int> area,
                                       const std::function<bool (juce::Colour)>& isInk)
{
    juce::Rectangle<int> found;
    bool any = false;

    for (auto y = area.getY(); y < area.getBottom(); ++y)
        for (auto x = area.getX(); x < area.getRight(); ++x)
            if (isInk (image.getPixelAt (x, y)))
            {
                found = any ? found.getUnion ({ x, y, 1, 1 }) : juce::Rectangle<int> (x, y, 1, 1);
                any = true;
            }

    return found;
}

/** Ink clearly lighter than the background: text and glyphs. */
inline bool isBrightInk (juce::Colour c)    { return c.getBrightness() > 0.35f; }

} // namespace ov::test
