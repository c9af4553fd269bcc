#include "ui/PanelRig.h"
#include "tests/install/BundleFixtures.h"

namespace
{

using namespace ov::palette;
using namespace ov::test;

// Solid spots at 600 by 600, away from text, icons and outlines.
const juce::Point<int> vst3Spot { 280, 200 }, clapSpot { 562, 200 }, aaxSpot { 280, 272 };
const juce::Point<int> vst3Edge { 23, 210 }, clapEdge { 305, 210 }, aaxEdge { 23, 282 };
const juce::Point<int> eulaSpot { 28, 470 }, manualSpot { 97, 470 }, installSpot { 520, 470 };
const juce::Point<int> selectAllSpot { 470, 134 };

using MainComponentPaint = PanelRig;

TEST_F (MainComponentPaint, FrameHeadingAndRules)
{
    makePanel();
    const auto image = paint();
    const auto halfGrey = over (greyTextColour, 128);

    // Top rule; the L of dots in the bottom right corner, the fourth corner of the square left empty.
    expectSpots (image, { { { 300, 3 }, accentBlueColour, 0 }, { { 0, 5 }, accentBlueColour, 0 }, { { 300, 7 }, backgroundColour, 0 },
                          { { 590, 590 }, halfGrey }, { { 590, 578 }, halfGrey }, { { 578, 590 }, halfGrey },
                          { { 578, 578 }, backgroundColour, 0 } });

    // TAVRIN3 in full grey at the top of the heading box, the version line at half alpha at its bottom.
    EXPECT_TRUE (colourNear (brightestPixel (image, { 24, 48, 300, 50 }), greyTextColour, 3));
    EXPECT_GT (countPixels (image, { 24, 48, 300, 50 }, greyTextColour), 100);
    EXPECT_TRUE (colourNear (brightestPixel (image, { 24, 98, 320, 22 }), halfGrey, 3));
    EXPECT_GT (countPixels (image, { 24, 98, 320, 22 }, halfGrey), 20);

    // Logo in light ink at the left of the title row, tool title and version at half alpha from x 450.
    EXPECT_GT (countPixels (image, { 24, 15, 162, 23 }, lightTextColour), 100);
    EXPECT_TRUE (colourNear (brightestPixel (image, { 450, 8, 150, 18 }), halfGrey, 3));
    EXPECT_TRUE (colourNear (brightestPixel (image, { 450, 26, 60, 12 }), halfGrey, 6));

    // FORMATS and EXTRAS over their rules (row 165 and 429 fully covered, the next one half).
    EXPECT_TRUE (colourNear (brightestPixel (image, { 24, 138, 120, 20 }), greyTextColour, 3));
    EXPECT_TRUE (colourNear (brightestPixel (image, { 24, 402, 120, 20 }), greyTextColour, 3));
    EXPECT_EQ (countPixels (image, { 24, 165, 552, 1 }, greyTextColour), 552);
    EXPECT_EQ (countPixels (image, { 24, 429, 552, 1 }, greyTextColour), 552);
    expectSpots (image, { { { 300, 167 }, backgroundColour, 0 }, { { 20, 165 }, backgroundColour, 0 } });

    // Captions in grey, ending 3.5 units below the faces, at 522.
    EXPECT_TRUE (colourNear (brightestPixel (image, { 24, 505, 60, 17 }), greyTextColour, 16));
    EXPECT_TRUE (colourNear (brightestPixel (image, { 0, 523, 600, 15 }), backgroundColour, 0));
}

TEST_F (MainComponentPaint, RowColoursFollowTheBundlesAndTheHover)
{
    makeBundle (1, "3.1.10.0");
    makeBundle (2, "3.1.9.0");
    makePanel();
    expectSpots (paint(), { { vst3Spot, over (greyTextColour, 89) }, { clapSpot, over (accentBlueColour, 230) },
                            { aaxSpot, over (accentYellowColour, 230) } });

    for (const auto* name : { "VST3", "CLAP", "AAX" })
        control (name).setState (juce::Button::buttonOver);

    expectSpots (paint(), { { vst3Spot, over (greyTextColour, 128) }, { clapSpot, accentBlueColour, 0 },
                            { aaxSpot, accentYellowColour, 0 } });

    // Pressing adds nothing of its own.
    control ("CLAP").setState (juce::Button::buttonDown);
    EXPECT_TRUE (colourNear (pixel (clapSpot), accentBlueColour, 0));
}

TEST_F (MainComponentPaint, RowsFollowTheDiskAtEveryPaint)
{
    makePanel();
    EXPECT_TRUE (colourNear (pixel (vst3Spot), over (greyTextColour, 89), 3));

    makeBundle (0, "3.1.10.0");
    EXPECT_TRUE (colourNear (pixel (vst3Spot), over (accentBlueColour, 230), 3));

    getBundle (0).deleteRecursively();
    EXPECT_TRUE (colourNear (pixel (vst3Spot), over (greyTextColour, 89), 3));
}

TEST_F (MainComponentPaint, RowTextAndIconsAreDrawnInDarkInks)
{
    makePanel();
    const auto image = paint();

    // Name and state in the background colour, the badge in the icon ink, all over the grey face.
    EXPECT_GT (countPixels (image, { 93, 189, 200, 21 }, backgroundColour, 2), 20);
    EXPECT_GT (countPixels (image, { 93, 213, 200, 18 }, backgroundColour, 2), 20);
    EXPECT_GT (countPixels (image, { 30, 186, 48, 48 }, darkInkColour, 2), 30);
    EXPECT_EQ (countPixels (image, { 24, 180, 270, 60 }, juce::Colours::black, 4), 0);
}

TEST_F (MainComponentPaint, YellowOutlineOnlyOnSelectedRows)
{
    makeBundle (0, "3.1.10.0");
    makePanel();
    expectSpots (paint(), { { vst3Edge, accentYellowColour, 0 }, { clapEdge, backgroundColour, 0 }, { aaxEdge, backgroundColour, 0 } });

    click ("CLAP");
    click ("VST3");
    expectSpots (paint(), { { clapEdge, accentYellowColour, 0 }, { vst3Edge, backgroundColour, 0 },
                            { vst3Spot, over (accentBlueColour, 230) } });
}

TEST_F (MainComponentPaint, SelectAllChangesOnlyWhenPressed)
{
    makePanel();
    const juce::Rectangle<int> text { 470, 138, 98, 18 };

    auto image = paint();
    EXPECT_TRUE (colourNear (image.getPixelAt (selectAllSpot.x, selectAllSpot.y), over (greyTextColour, 26), 3));
    EXPECT_TRUE (colourNear (brightestPixel (image, text), greyTextColour, 3));

    control ("SELECT_ALL").setState (juce::Button::buttonOver);
    EXPECT_TRUE (colourNear (pixel (selectAllSpot), over (greyTextColour, 26), 3));

    // Pressed: a green face with its text in the icon ink.
    control ("SELECT_ALL").setState (juce::Button::buttonDown);
    image = paint();
    EXPECT_TRUE (colourNear (image.getPixelAt (selectAllSpot.x, selectAllSpot.y), accentGreenColour, 0));
    EXPECT_GT (countPixels (image, text, darkInkColour), 0);
    EXPECT_EQ (countPixels (image, text, juce::Colours::black, 4), 0);
    EXPECT_TRUE (colourNear (brightestPixel (image, text), accentGreenColour, 0));
}

TEST_F (MainComponentPaint, ExtrasAtRestHoveredAndPressedWithTheirHelpInHalfGrey)
{
    makePanel();

    for (const auto& [name, spot] : { std::pair { "EULA", eulaSpot }, std::pair { "MANUAL", manualSpot },
                                      std::pair { "INSTALL", installSpot } })
    {
        SCOPED_TRACE (name);
        const std::tuple<juce::Button::ButtonState, juce::Colour, int> looks[] = {
            { juce::Button::buttonNormal, over (greyTextColour, 128), 3 }, { juce::Button::buttonOver, over (greyTextColour, 191), 3 },
            { juce::Button::buttonDown, accentGreenColour, 0 }, { juce::Button::buttonNormal, over (greyTextColour, 128), 3 }
        };

        for (const auto& [state, colour, tolerance] : looks)
        {
            control (name).setState (state);
            EXPECT_TRUE (colourNear (pixel (spot), colour, tolerance)) << state;
        }
    }

    // Only the hovered face changes, its icon stays in the icon ink, and its help shows in half grey.
    control ("WEBSITE").setState (juce::Button::buttonOver);
    const auto image = paint();
    EXPECT_TRUE (colourNear (image.getPixelAt (eulaSpot.x, eulaSpot.y), over (greyTextColour, 128), 3));
    EXPECT_GT (countPixels (image, { 174, 453, 36, 36 }, darkInkColour, 2), 40);
    EXPECT_TRUE (colourNear (brightestPixel (image, { 24, 540, 552, 18 }), over (greyTextColour, 128), 3));
}

TEST_F (MainComponentPaint, InstallCaptionFollowsShift)
{
    makePanel();
    const auto caption = [this] { return paint().getClippedImage ({ 500, 505, 92, 18 }).createCopy(); };
    const auto before = caption();

    panel->modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::shiftModifier));
    ASSERT_TRUE (panel->isUninstallMode());
    EXPECT_FALSE (samePixels (before, caption()));

    panel->modifierKeysChanged (juce::ModifierKeys());
    EXPECT_TRUE (samePixels (before, caption()));
}

TEST_F (MainComponentPaint, ScalesWithTheWindow)
{
    makeBundle (0, "3.1.10.0");
    makePanel (800);
    const auto image = paint();

    // INSTALL's face at (688, 588, 80, 80), the row outline 4 pixels wide.
    expectSpots (image, { { { 400, 7 }, accentBlueColour, 0 }, { { 400, 9 }, backgroundColour, 0 },
                          { { 692, 620 }, over (greyTextColour, 128) }, { { 380, 266 }, over (accentBlueColour, 230) },
                          { { 30, 280 }, accentYellowColour, 0 } });
    EXPECT_EQ (countPixels (image, { 32, 220, 736, 1 }, greyTextColour), 736);         // FORMATS rule at 220
}

} // namespace
