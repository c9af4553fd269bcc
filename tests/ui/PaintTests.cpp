#include "ui/PanelRig.h"

namespace
{

using namespace ov::palette;
using ov::test::brightestPixel;
using ov::test::countPixels;
using ov::test::darkestPixel;
using ov::test::looksLike;
using ov::test::onBackground;

juce::Colour at (juce::Colour colour, int alpha)
{
    return onBackground (colour.withAlpha ((juce::uint8) alpha));
}

// Solid spots at 600 by 600, away from text, icons and outlines.
const juce::Point<int> vst3Spot { 280, 200 }, clapSpot { 562, 200 }, aaxSpot { 280, 272 };
const juce::Point<int> vst3Edge { 23, 210 }, clapEdge { 305, 210 }, aaxEdge { 23, 282 };
const juce::Point<int> eulaSpot { 28, 470 }, manualSpot { 97, 470 }, installSpot { 520, 470 };
const juce::Point<int> selectAllSpot { 470, 134 };

class MainComponentPaint : public ov::test::PanelRig
{
protected:
    juce::Colour pixel (juce::Point<int> p)     { return paint().getPixelAt (p.x, p.y); }
};

TEST_F (MainComponentPaint, FrameHeadingAndRules)
{
    makePanel();
    const auto image = paint();

    EXPECT_TRUE (looksLike (image.getPixelAt (300, 3), accentBlueColour, 0));
    EXPECT_TRUE (looksLike (image.getPixelAt (0, 5), accentBlueColour, 0));
    EXPECT_TRUE (looksLike (image.getPixelAt (300, 7), backgroundColour, 0));

    // The L of dots in the bottom right corner, the fourth corner of the square left empty.
    EXPECT_TRUE (looksLike (image.getPixelAt (590, 590), at (greyTextColour, 128)));
    EXPECT_TRUE (looksLike (image.getPixelAt (590, 578), at (greyTextColour, 128)));
    EXPECT_TRUE (looksLike (image.getPixelAt (578, 590), at (greyTextColour, 128)));
    EXPECT_TRUE (looksLike (image.getPixelAt (578, 578), backgroundColour, 0));

    // TAVRIN3 in full grey at the top of the heading box, the version line at half alpha at its bottom.
    EXPECT_TRUE (looksLike (brightestPixel (image, { 24, 48, 300, 50 }), greyTextColour));
    EXPECT_GT (countPixels (image, { 24, 48, 300, 50 }, greyTextColour), 100);
    EXPECT_TRUE (looksLike (brightestPixel (image, { 24, 98, 320, 22 }), at (greyTextColour, 128)));
    EXPECT_GT (countPixels (image, { 24, 98, 320, 22 }, at (greyTextColour, 128)), 20);

    // Logo in light ink at the left of the title row, tool title and version at half alpha from x 450.
    EXPECT_GT (countPixels (image, { 24, 15, 162, 23 }, lightTextColour), 100);
    EXPECT_TRUE (looksLike (brightestPixel (image, { 450, 8, 150, 18 }), at (greyTextColour, 128)));
    EXPECT_TRUE (looksLike (brightestPixel (image, { 450, 26, 60, 12 }), at (greyTextColour, 128), 6));
    EXPECT_TRUE (looksLike (brightestPixel (image, { 450, 8, 150, 30 }), at (greyTextColour, 128), 6));

    // FORMATS and EXTRAS over their rules (row 165 and 429 fully covered, the next one half).
    EXPECT_TRUE (looksLike (brightestPixel (image, { 24, 138, 120, 20 }), greyTextColour));
    EXPECT_TRUE (looksLike (brightestPixel (image, { 24, 402, 120, 20 }), greyTextColour));
    EXPECT_EQ (countPixels (image, { 24, 165, 552, 1 }, greyTextColour), 552);
    EXPECT_EQ (countPixels (image, { 24, 429, 552, 1 }, greyTextColour), 552);
    EXPECT_TRUE (looksLike (image.getPixelAt (300, 167), backgroundColour, 0));
    EXPECT_TRUE (looksLike (image.getPixelAt (20, 165), backgroundColour, 0));

    // Captions in grey, ending 3.5 units below the faces, at 522.
    EXPECT_TRUE (looksLike (brightestPixel (image, { 24, 505, 60, 17 }), greyTextColour, 16));
    EXPECT_TRUE (looksLike (brightestPixel (image, { 0, 523, 600, 15 }), backgroundColour, 0));
}

TEST_F (MainComponentPaint, RowColoursFollowTheBundlesAndTheHover)
{
    makeBundle (1, "3.1.10.0");
    makeBundle (2, "3.1.9.0");
    makePanel();

    EXPECT_TRUE (looksLike (pixel (vst3Spot), at (greyTextColour, 89)));
    EXPECT_TRUE (looksLike (pixel (clapSpot), at (accentBlueColour, 230)));
    EXPECT_TRUE (looksLike (pixel (aaxSpot), at (accentYellowColour, 230)));

    control ("VST3").setState (juce::Button::buttonOver);
    control ("CLAP").setState (juce::Button::buttonOver);
    control ("AAX").setState (juce::Button::buttonOver);

    EXPECT_TRUE (looksLike (pixel (vst3Spot), at (greyTextColour, 128)));
    EXPECT_TRUE (looksLike (pixel (clapSpot), accentBlueColour, 0));
    EXPECT_TRUE (looksLike (pixel (aaxSpot), accentYellowColour, 0));

    // Pressing adds nothing of its own.
    control ("CLAP").setState (juce::Button::buttonDown);
    EXPECT_TRUE (looksLike (pixel (clapSpot), accentBlueColour, 0));
}

TEST_F (MainComponentPaint, RowsFollowTheDiskAtEveryPaint)
{
    makePanel();
    EXPECT_TRUE (looksLike (pixel (vst3Spot), at (greyTextColour, 89)));

    makeBundle (0, "3.1.10.0");
    EXPECT_TRUE (looksLike (pixel (vst3Spot), at (accentBlueColour, 230)));

    getBundle (0).deleteRecursively();
    EXPECT_TRUE (looksLike (pixel (vst3Spot), at (greyTextColour, 89)));
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

    EXPECT_TRUE (looksLike (pixel (vst3Edge), accentYellowColour, 0));
    EXPECT_TRUE (looksLike (pixel (clapEdge), backgroundColour, 0));
    EXPECT_TRUE (looksLike (pixel (aaxEdge), backgroundColour, 0));

    panel->buttonClicked (&control ("CLAP"));
    EXPECT_TRUE (looksLike (pixel (clapEdge), accentYellowColour, 0));

    panel->buttonClicked (&control ("VST3"));
    EXPECT_TRUE (looksLike (pixel (vst3Edge), backgroundColour, 0));
    EXPECT_TRUE (looksLike (pixel (vst3Spot), at (accentBlueColour, 230)));
}

TEST_F (MainComponentPaint, SelectAllChangesOnlyWhenPressed)
{
    makePanel();
    const juce::Rectangle<int> text { 470, 138, 98, 18 };

    auto image = paint();
    EXPECT_TRUE (looksLike (image.getPixelAt (selectAllSpot.x, selectAllSpot.y), at (greyTextColour, 26)));
    EXPECT_TRUE (looksLike (brightestPixel (image, text), greyTextColour));

    control ("SELECT_ALL").setState (juce::Button::buttonOver);
    EXPECT_TRUE (looksLike (pixel (selectAllSpot), at (greyTextColour, 26)));

    control ("SELECT_ALL").setState (juce::Button::buttonDown);
    image = paint();
    EXPECT_TRUE (looksLike (image.getPixelAt (selectAllSpot.x, selectAllSpot.y), accentGreenColour, 0));
    EXPECT_TRUE (looksLike (darkestPixel (image, text), darkInkColour));
    EXPECT_TRUE (looksLike (brightestPixel (image, text), accentGreenColour, 0));
}

TEST_F (MainComponentPaint, ExtrasAtRestHoveredAndPressed)
{
    makePanel();

    for (const auto& [name, spot] : { std::pair { "EULA", eulaSpot }, std::pair { "MANUAL", manualSpot },
                                      std::pair { "INSTALL", installSpot } })
    {
        EXPECT_TRUE (looksLike (pixel (spot), at (greyTextColour, 128))) << name;

        control (name).setState (juce::Button::buttonOver);
        EXPECT_TRUE (looksLike (pixel (spot), at (greyTextColour, 191))) << name;

        control (name).setState (juce::Button::buttonDown);
        EXPECT_TRUE (looksLike (pixel (spot), accentGreenColour, 0)) << name;

        control (name).setState (juce::Button::buttonNormal);
        EXPECT_TRUE (looksLike (pixel (spot), at (greyTextColour, 128))) << name;
    }

    // Only the hovered face changes, and its icon stays in the icon ink.
    control ("WEBSITE").setState (juce::Button::buttonOver);
    const auto image = paint();
    EXPECT_TRUE (looksLike (image.getPixelAt (eulaSpot.x, eulaSpot.y), at (greyTextColour, 128)));
    EXPECT_GT (countPixels (image, { 174, 453, 36, 36 }, darkInkColour, 2), 40);
}

TEST_F (MainComponentPaint, InstallCaptionFollowsShift)
{
    makePanel();
    const juce::Rectangle<int> caption { 500, 505, 92, 18 };
    const auto before = paint().getClippedImage (caption).createCopy();

    panel->modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::shiftModifier));
    ASSERT_TRUE (panel->isUninstallMode());
    const auto shifted = paint().getClippedImage (caption).createCopy();

    panel->modifierKeysChanged (juce::ModifierKeys());
    const auto after = paint().getClippedImage (caption).createCopy();

    const auto differ = [] (const juce::Image& a, const juce::Image& b)
    {
        for (int y = 0; y < a.getHeight(); ++y)
            for (int x = 0; x < a.getWidth(); ++x)
                if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                    return true;

        return false;
    };

    EXPECT_TRUE (differ (before, shifted));
    EXPECT_FALSE (differ (before, after));
}

TEST_F (MainComponentPaint, HelpLineIsDrawnInHalfGrey)
{
    makePanel();
    control ("EULA").setState (juce::Button::buttonOver);
    EXPECT_TRUE (looksLike (brightestPixel (paint(), { 24, 540, 552, 18 }), at (greyTextColour, 128)));
}

TEST_F (MainComponentPaint, ScalesWithTheWindow)
{
    makeBundle (0, "3.1.10.0");
    makePanel (800);
    const auto image = paint();

    EXPECT_TRUE (looksLike (image.getPixelAt (400, 7), accentBlueColour, 0));
    EXPECT_TRUE (looksLike (image.getPixelAt (400, 9), backgroundColour, 0));
    EXPECT_TRUE (looksLike (image.getPixelAt (692, 620), at (greyTextColour, 128)));   // INSTALL face at (688, 588, 80, 80)
    EXPECT_TRUE (looksLike (image.getPixelAt (380, 266), at (accentBlueColour, 230)));
    EXPECT_TRUE (looksLike (image.getPixelAt (30, 280), accentYellowColour, 0));        // outline 4 px wide
    EXPECT_EQ (countPixels (image, { 32, 220, 736, 1 }, greyTextColour), 736);         // FORMATS rule at 220
}

//==============================================================================
class MainComponentOutcome : public MainComponentPaint
{
protected:
    // The install icon (or the warning sign) is drawn in an 84 pixel square at (258, 240).
    const juce::Point<int> gearSpot { 273, 282 }, warningSpot { 290, 302 };
    const juce::Rectangle<int> detailsBand { 24, 168, 552, 72 }, title { 24, 340, 552, 56 };
};

TEST_F (MainComponentOutcome, SuccessReplacesTheRows)
{
    makeBundle (0, "3.1.10.0");
    makePanel();
    panel->buttonClicked (&control ("INSTALL"));
    ASSERT_TRUE (panel->isInstallFinished());

    for (const auto* name : { "VST3", "CLAP", "AAX", "SELECT_ALL", "INSTALL" })
        EXPECT_FALSE (control (name).isVisible()) << name;

    const auto image = paint();
    EXPECT_TRUE (looksLike (image.getPixelAt (gearSpot.x, gearSpot.y), accentGreenColour, 0));
    EXPECT_GT (countPixels (image, title, lightTextColour), 200);
    EXPECT_EQ (countPixels (image, detailsBand, greyTextColour, 40), 0);
    EXPECT_TRUE (looksLike (image.getPixelAt (vst3Spot.x, vst3Spot.y), backgroundColour, 0));
    EXPECT_TRUE (looksLike (image.getPixelAt (selectAllSpot.x, selectAllSpot.y), backgroundColour, 0));
    EXPECT_TRUE (looksLike (image.getPixelAt (installSpot.x, installSpot.y), at (greyTextColour, 128)));

    // The green is put back: the INSTALL face's icon keeps the dark ink at the next paint.
    const auto again = paint();
    EXPECT_EQ (countPixels (again, { 525, 450, 42, 42 }, accentGreenColour, 10), 0);
    EXPECT_GT (countPixels (again, { 525, 450, 42, 42 }, darkInkColour, 2), 40);
}

TEST_F (MainComponentOutcome, FailureShowsTheWarningAndTheReasons)
{
    // A file where the CLAP folder belongs: the archive cannot be unpacked there.
    sandbox.getCommonFiles().createDirectory();
    sandbox.getCommonFiles().getChildFile ("CLAP").replaceWithText ("in the way");
    makePanel();
    panel->buttonClicked (&control ("SELECT_ALL"));
    panel->buttonClicked (&control ("INSTALL"));

    ASSERT_TRUE (panel->isInstallFinished());
    ASSERT_FALSE (panel->getLastOutcomes()[1].succeeded);
    ASSERT_TRUE (panel->getLastOutcomes()[1].reason.isNotEmpty());

    const auto failed = paint();
    EXPECT_TRUE (looksLike (failed.getPixelAt (warningSpot.x, warningSpot.y), juce::Colour (0xfff39200), 0));
    EXPECT_EQ (countPixels (failed, { 258, 240, 84, 84 }, accentGreenColour, 10), 0);
    EXPECT_GT (countPixels (failed, detailsBand, greyTextColour, 2), 30);
    EXPECT_GT (countPixels (failed, title, lightTextColour), 200);

    // The details stay whatever the pointer does.
    control ("EULA").setState (juce::Button::buttonOver);
    control ("EULA").setState (juce::Button::buttonNormal);
    EXPECT_GT (countPixels (paint(), detailsBand, greyTextColour, 2), 30);
}

TEST_F (MainComponentOutcome, FailedTitleIsNotTheSuccessTitle)
{
    makePanel();
    panel->buttonClicked (&control ("INSTALL"));
    const auto success = paint().getClippedImage (title).createCopy();

    ov::test::Sandbox otherSandbox;
    host = std::make_shared<ov::test::SandboxHost> (otherSandbox);
    otherSandbox.getCommonFiles().createDirectory();
    otherSandbox.getCommonFiles().getChildFile ("VST3").replaceWithText ("in the way");
    makePanel();
    panel->buttonClicked (&control ("VST3"));
    panel->buttonClicked (&control ("INSTALL"));
    ASSERT_FALSE (panel->getLastOutcomes()[0].succeeded);
    const auto failure = paint().getClippedImage (title).createCopy();

    // "SUCCESS!" is wider than "FAILED": count the lit columns.
    const auto litColumns = [] (const juce::Image& image)
    {
        int columns = 0;

        for (int x = 0; x < image.getWidth(); ++x)
            for (int y = 0; y < image.getHeight(); ++y)
                if (looksLike (image.getPixelAt (x, y), lightTextColour, 30))
                {
                    ++columns;
                    break;
                }

        return columns;
    };

    EXPECT_GT (litColumns (success), litColumns (failure) + 20);
    panel.reset();
}

} // namespace
