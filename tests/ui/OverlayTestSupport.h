#pragma once

#include "ui/CustomLookAndFeel.h"
#include "ui/Palette.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdlib>
#include <functional>
#include <tuple>
#include <vector>

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

/** A link's query as decoded name and value pairs. */
inline juce::StringPairArray decodeQuery (const juce::String& link)
{
    juce::StringPairArray pairs;

    for (const auto& item : juce::StringArray::fromTokens (link.fromFirstOccurrenceOf ("?", false, false), "&", {}))
        pairs.set (juce::URL::removeEscapeChars (item.upToFirstOccurrenceOf ("=", false, false)),
                   juce::URL::removeEscapeChars (item.fromFirstOccurrenceOf ("=", false, false)));

    return pairs;
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

/** Ink as light as the headings, lighter than any grey. */
inline bool isLightInk (juce::Colour c)     { return c.getBrightness() > 0.8f; }

/** Children's bounds in an overlay laid out at 600 and at 900 pixels, where 1.5 units (13.5 pixels) go to the even 14. */
template <typename Panel>
void expectBoundsAt600And900 (Panel& panel,
                              std::initializer_list<std::tuple<juce::Component*, juce::Rectangle<int>, juce::Rectangle<int>>> table)
{
    for (const auto width : { 600, 900 })
    {
        layOutAndPaint (panel, width);

        for (const auto& [child, at600, at900] : table)
            EXPECT_EQ (child->getBounds(), width == 600 ? at600 : at900) << child->getName() << " at " << width;
    }
}

/** The close button every overlay has: invisible, its round X half grey at rest and full grey under the pointer,
    and a click takes the overlay off its parent without taking it apart. */
template <typename Panel>
void expectCloseButtonWorks (Panel& panel)
{
    auto* close = findButton (panel, "X");
    ASSERT_NE (close, nullptr);
    EXPECT_FLOAT_EQ (close->getAlpha(), 0.0f);
    EXPECT_TRUE (close->isVisible());
    EXPECT_EQ (close->getTitle(), "Close");

    // At 1200 pixels the ring is 3 pixels thick, so its leftmost pixels are solid: circle in (1080, 42, 48, 48).
    auto image = layOutAndPaint (panel, 1200);
    EXPECT_TRUE (colourNear (image.getPixelAt (1079, 66), over (palette::greyTextColour, 0x80)));
    EXPECT_EQ (image.getPixelAt (1076, 66), palette::backgroundColour);
    EXPECT_EQ (image.getPixelAt (1104, 45), palette::backgroundColour);   // inside the ring, above the X

    close->setState (juce::Button::buttonOver);
    image = layOutAndPaint (panel, 1200);
    close->setState (juce::Button::buttonNormal);
    EXPECT_TRUE (colourNear (image.getPixelAt (1079, 66), palette::greyTextColour));

    const auto cross = inkBounds (image, { 1084, 46, 40, 40 }, isBrightInk);
    EXPECT_NEAR (cross.getCentreX(), 1104, 2);
    EXPECT_NEAR (cross.getCentreY(), 66, 3);

    juce::Component parent;
    parent.addAndMakeVisible (panel);
    const auto children = panel.getNumChildComponents();
    panel.buttonClicked (close);

    EXPECT_EQ (parent.getNumChildComponents(), 0);
    EXPECT_EQ (panel.getParentComponent(), nullptr);
    EXPECT_EQ (panel.getNumChildComponents(), children);

    // Closing an overlay that is already off the screen changes nothing.
    panel.buttonClicked (close);
    EXPECT_EQ (panel.getParentComponent(), nullptr);
}

/** A key as the window hands it on: to the component that has the keyboard, then up its parents until one uses it. */
inline bool pressKey (juce::Component& target, const juce::KeyPress& key)
{
    for (auto* c = &target; c != nullptr; c = c->getParentComponent())
        if (c->keyPressed (key))
            return true;

    return false;
}

/** An overlay on its parent keeps the keyboard among its own controls, which it takes in the given order, the
    first when the overlay is given the keyboard; past either end the framework goes round within the overlay. Escape
    closes it from any of them, and Return and Tab, which the controls or the window handle, do not. */
template <typename Panel>
void expectKeyboardStaysWithin (Panel& panel, const std::vector<juce::Component*>& order)
{
    juce::Component parent;
    parent.addAndMakeVisible (panel);
    layOutAndPaint (panel, 600);

    auto traverser = panel.createKeyboardFocusTraverser();
    EXPECT_EQ (traverser->getAllComponents (&panel), order);
    EXPECT_EQ (traverser->getDefaultComponent (&panel), order.front());

    for (auto* control : order)
    {
        SCOPED_TRACE (control->getTitle());
        EXPECT_EQ (control->findKeyboardFocusContainer(), &panel);

        for (const auto key : { juce::KeyPress::returnKey, juce::KeyPress::tabKey })
        {
            pressKey (*control, juce::KeyPress (key));
            EXPECT_EQ (panel.getParentComponent(), &parent) << key;
        }

        EXPECT_TRUE (pressKey (*control, juce::KeyPress (juce::KeyPress::escapeKey)));
        EXPECT_EQ (panel.getParentComponent(), nullptr);
        parent.addAndMakeVisible (panel);
    }

    parent.removeChildComponent (&panel);
}

} // namespace ov::test
