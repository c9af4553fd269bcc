#include "product/ProductManifest.h"
#include "ui/OverlayTestSupport.h"
#include "ui/panel_eula.h"

#include <gtest/gtest.h>

using namespace ov::palette;
using ov::test::colourNear;
using ov::test::over;

namespace
{

class PanelEula : public ::testing::Test
{
protected:
    juce::TextEditor* findEditor()
    {
        for (auto* child : panel.getChildren())
            if (auto* editor = dynamic_cast<juce::TextEditor*> (child))
                return editor;

        return nullptr;
    }

    ov::test::ScopedProgramLook look;
    panel_eula panel { ov::product::eulaText };
};

TEST_F (PanelEula, LaysOutEditorAndCloseButtonInUnits)
{
    auto* editor = findEditor();
    auto* close = ov::test::findButton (panel, "X");
    ASSERT_NE (editor, nullptr);
    ASSERT_NE (close, nullptr);

    ov::test::layOutAndPaint (panel, 600);
    EXPECT_EQ (editor->getBounds(), juce::Rectangle<int> (24, 72, 552, 480));
    EXPECT_EQ (close->getBounds(), juce::Rectangle<int> (528, 9, 48, 48));

    // 1.5 units of 9 pixels is 13.5, which goes to the even neighbour.
    ov::test::layOutAndPaint (panel, 900);
    EXPECT_EQ (editor->getBounds(), juce::Rectangle<int> (36, 108, 828, 720));
    EXPECT_EQ (close->getBounds(), juce::Rectangle<int> (792, 14, 72, 72));
}

TEST_F (PanelEula, EditorHoldsTheLicenceInGreyWithoutVisibleOutline)
{
    auto* editor = findEditor();
    ASSERT_NE (editor, nullptr);

    EXPECT_EQ (editor->getText(), juce::String (ov::product::eulaText));
    EXPECT_TRUE (editor->isMultiLine());
    EXPECT_FALSE (editor->isReadOnly());
    EXPECT_EQ (editor->findColour (juce::TextEditor::textColourId), greyTextColour);
    EXPECT_EQ (editor->findColour (juce::TextEditor::outlineColourId), backgroundColour);
    EXPECT_EQ (editor->findColour (juce::TextEditor::focusedOutlineColourId), backgroundColour);

    const auto image = ov::test::layOutAndPaint (panel, 600);

    // The outline runs along the editor's edge: it must not show against the panel.
    EXPECT_EQ (image.getPixelAt (24, 300), backgroundColour);
    EXPECT_EQ (image.getPixelAt (575, 300), backgroundColour);
    EXPECT_EQ (image.getPixelAt (300, 72), backgroundColour);

    // The licence is drawn, and nothing in the editor is lighter than its grey.
    const auto text = ov::test::inkBounds (image, { 24, 72, 552, 480 }, ov::test::isBrightInk);
    EXPECT_FALSE (text.isEmpty());
    EXPECT_TRUE (ov::test::inkBounds (image, { 24, 72, 552, 480 },
                                      [] (juce::Colour c) { return c.getBrightness() > greyTextColour.getBrightness() + 0.02f; })
                     .isEmpty());
}

TEST_F (PanelEula, HeadingStartsAtFourUnitsOnItsBaseline)
{
    const auto image = ov::test::layOutAndPaint (panel, 600);
    EXPECT_EQ (image.getPixelAt (2, 2), backgroundColour);
    EXPECT_EQ (image.getPixelAt (300, 65), backgroundColour);

    const auto heading = ov::test::inkBounds (image, { 0, 0, 520, 70 },
                                              [] (juce::Colour c) { return c.getBrightness() > 0.8f; });
    ASSERT_FALSE (heading.isEmpty());
    EXPECT_NEAR (heading.getX(), 24, 3);
    EXPECT_NEAR (heading.getBottom(), 36, 1);          // capitals only: no ink below the baseline
    EXPECT_NEAR (heading.getHeight(), 13, 2);          // capitals of a 24-pixel font

    auto brightest = backgroundColour;
    for (auto x = heading.getX(); x < heading.getRight(); ++x)
        if (const auto c = image.getPixelAt (x, heading.getCentreY()); c.getBrightness() > brightest.getBrightness())
            brightest = c;
    EXPECT_TRUE (colourNear (brightest, lightTextColour, 4));
}

TEST_F (PanelEula, CloseGlyphIsHalfGreyAtRestAndFullGreyUnderThePointer)
{
    auto* close = ov::test::findButton (panel, "X");
    ASSERT_NE (close, nullptr);

    // At 1200 pixels the ring is 3 pixels thick, so its leftmost pixels are solid: circle in (1080, 42, 48, 48).
    auto image = ov::test::layOutAndPaint (panel, 1200);
    EXPECT_TRUE (colourNear (image.getPixelAt (1079, 66), over (greyTextColour, 0x80)));
    EXPECT_EQ (image.getPixelAt (1076, 66), backgroundColour);
    EXPECT_EQ (image.getPixelAt (1104, 45), backgroundColour);   // inside the ring, above the X

    close->setState (juce::Button::buttonOver);
    image = ov::test::layOutAndPaint (panel, 1200);
    EXPECT_TRUE (colourNear (image.getPixelAt (1079, 66), greyTextColour));

    // The X sits in the middle of the circle.
    const auto cross = ov::test::inkBounds (image, { 1084, 46, 40, 40 }, ov::test::isBrightInk);
    ASSERT_FALSE (cross.isEmpty());
    EXPECT_NEAR (cross.getCentreX(), 1104, 2);
    EXPECT_NEAR (cross.getCentreY(), 66, 3);
}

TEST_F (PanelEula, CloseTakesItselfOffItsParentWithoutBeingDeleted)
{
    juce::Component mainPanel;
    mainPanel.addAndMakeVisible (panel);
    auto* close = ov::test::findButton (panel, "X");
    ASSERT_NE (close, nullptr);

    EXPECT_FLOAT_EQ (close->getAlpha(), 0.0f);
    EXPECT_EQ (close->getTitle(), "Close");

    panel.buttonClicked (close);

    EXPECT_EQ (mainPanel.getNumChildComponents(), 0);
    EXPECT_EQ (panel.getParentComponent(), nullptr);
    EXPECT_EQ (findEditor()->getText(), juce::String (ov::product::eulaText));

    // Closing a panel that is already off the screen changes nothing.
    panel.buttonClicked (close);
    EXPECT_EQ (panel.getParentComponent(), nullptr);
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
