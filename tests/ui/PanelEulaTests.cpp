#include "product/ProductManifest.h"
#include "ui/OverlayTestSupport.h"
#include "ui/panel_eula.h"

#include <gtest/gtest.h>

using namespace ov::palette;

namespace
{

class PanelEula : public ::testing::Test
{
protected:
    juce::TextEditor& editor()
    {
        for (auto* child : panel.getChildren())
            if (auto* found = dynamic_cast<juce::TextEditor*> (child))
                return *found;

        ADD_FAILURE() << "no editor";
        throw std::runtime_error ("missing editor");
    }

    ov::test::ScopedProgramLook look;
    panel_eula panel { ov::product::eulaText };
};

TEST_F (PanelEula, LaysOutEditorAndCloseButtonInUnits)
{
    ov::test::expectBoundsAt600And900 (panel, { { &editor(), { 24, 72, 552, 480 }, { 36, 108, 828, 720 } },
                                                { ov::test::findButton (panel, "X"), { 528, 9, 48, 48 }, { 792, 14, 72, 72 } } });
}

TEST_F (PanelEula, EditorHoldsTheLicenceInGreyWithoutVisibleOutline)
{
    EXPECT_EQ (editor().getText(), juce::String (ov::product::eulaText));
    EXPECT_TRUE (editor().isMultiLine());
    EXPECT_FALSE (editor().isReadOnly());
    EXPECT_EQ (editor().findColour (juce::TextEditor::textColourId), greyTextColour);
    EXPECT_EQ (editor().findColour (juce::TextEditor::focusedOutlineColourId), backgroundColour);

    const auto image = ov::test::layOutAndPaint (panel, 600);

    // The outline runs along the editor's edge: it must not show against the panel.
    EXPECT_EQ (image.getPixelAt (24, 300), backgroundColour);
    EXPECT_EQ (image.getPixelAt (575, 300), backgroundColour);
    EXPECT_EQ (image.getPixelAt (300, 72), backgroundColour);

    // The licence is drawn, and nothing in the editor is lighter than its grey.
    EXPECT_FALSE (ov::test::inkBounds (image, { 24, 72, 552, 480 }, ov::test::isBrightInk).isEmpty());
    EXPECT_TRUE (ov::test::inkBounds (image, { 24, 72, 552, 480 },
                                      [] (juce::Colour c) { return c.getBrightness() > greyTextColour.getBrightness() + 0.02f; })
                     .isEmpty());
}

TEST_F (PanelEula, HeadingStartsAtFourUnitsOnItsBaseline)
{
    const auto image = ov::test::layOutAndPaint (panel, 600);
    EXPECT_EQ (image.getPixelAt (2, 2), backgroundColour);
    EXPECT_EQ (image.getPixelAt (300, 65), backgroundColour);

    const auto heading = ov::test::inkBounds (image, { 0, 0, 520, 70 }, ov::test::isLightInk);
    ASSERT_FALSE (heading.isEmpty());
    EXPECT_NEAR (heading.getX(), 24, 3);
    EXPECT_NEAR (heading.getBottom(), 36, 1);          // capitals only: no ink below the baseline
    EXPECT_NEAR (heading.getHeight(), 13, 2);          // capitals of a 24-pixel font

    auto brightest = backgroundColour;
    for (auto x = heading.getX(); x < heading.getRight(); ++x)
        if (const auto c = image.getPixelAt (x, heading.getCentreY()); c.getBrightness() > brightest.getBrightness())
            brightest = c;
    EXPECT_TRUE (ov::test::colourNear (brightest, lightTextColour, 4));
}

TEST_F (PanelEula, CloseButtonTakesThePanelOffKeepingItsText)
{
    ov::test::expectCloseButtonWorks (panel);
    EXPECT_EQ (editor().getText(), juce::String (ov::product::eulaText));
}

// The text comes first, so that the keys scroll the licence at once; it passes Escape on to close the panel.
TEST_F (PanelEula, KeyboardGoesBetweenTextAndCloseButtonOnly)
{
    ov::test::expectKeyboardStaysWithin (panel, { &editor(), ov::test::findButton (panel, "X") });
    EXPECT_EQ (editor().getText(), juce::String (ov::product::eulaText));
}

TEST (PanelEulaText, EmptyLicenceGivesEmptyEditorUnderTheHeading)
{
    ov::test::ScopedProgramLook look;
    panel_eula panel { juce::String() };
    const auto image = ov::test::layOutAndPaint (panel, 600);

    EXPECT_TRUE (ov::test::inkBounds (image, { 24, 72, 552, 480 }, ov::test::isBrightInk).isEmpty());
    EXPECT_FALSE (ov::test::inkBounds (image, { 0, 0, 520, 70 }, ov::test::isBrightInk).isEmpty());
}

} // namespace
