#include "ui/PanelRig.h"
#include "install/BundleInstaller.h"
#include "tests/install/BundleFixtures.h"
#include "ui/PanelDrawing.h"

namespace
{

using namespace ov::palette;
using namespace ov::test;

class MainComponentOutcome : public PanelRig
{
protected:
    // The install icon (or the warning sign) is drawn in an 84 pixel square at (258, 240).
    const juce::Point<int> gearSpot { 273, 282 }, warningSpot { 290, 302 };
    const juce::Rectangle<int> detailsBand { 24, 168, 552, 72 }, title { 24, 340, 552, 56 };
    const juce::Point<int> vst3Spot { 280, 200 }, installSpot { 520, 470 }, selectAllSpot { 470, 134 };

    /** The panel painted into an image of the given side, scaled: a window too large for an image of its own. */
    juce::Image paintScaled (int side) const
    {
        juce::Image image (juce::Image::RGB, side, side, true, juce::SoftwareImageType());
        juce::Graphics g (image);
        g.addTransform (juce::AffineTransform::scale ((float) side / (float) panel->getWidth()));
        panel->paintEntireComponent (g, true);
        return image;
    }

    void expectShownAtEverySize (const juce::String& heading, int lines)
    {
        ASSERT_EQ (panel->getLastReport().heading, heading);
        ASSERT_EQ (panel->getLastReport().lines.size(), lines);

        for (const auto size : { 128, 600, 16384 })
        {
            SCOPED_TRACE (size);
            panel->setSize (size, size);
            const auto image = paintScaled (juce::jmin (size, 1024));
            const auto u = (float) image.getWidth() / 100.0f;
            const auto area = [u] (float x, float y, float w, float h) { return ov::drawing::scaledBounds (u, x, y, w, h); };
            const auto inked = [&image] (juce::Rectangle<int> r) { return ! inkBounds (image, r, isInk).isEmpty(); };

            // Lines in the band from the FORMATS rule to the icon, none beside it, above it or beside the icon.
            EXPECT_TRUE (inked (area (4, 28, 92, 12)));
            EXPECT_FALSE (inked (area (0, 28, 3.5f, 12)) || inked (area (96.5f, 28, 3.5f, 12)));
            EXPECT_FALSE (inked (area (30, 20, 70, 7.3f)));
            EXPECT_FALSE (inked (area (4, 40.5f, 36, 17)) || inked (area (60, 40.5f, 36, 17)));

            // The heading within the box's width, ending at its bottom.
            const auto headingInk = inkBounds (image, area (0, 56, 100, 10.8f), isInk);   // EXTRAS starts below
            EXPECT_GT (headingInk.getX(), area (4, 0, 0, 0).getX());
            EXPECT_LT (headingInk.getRight(), area (96, 0, 0, 0).getX());
            EXPECT_LE (headingInk.getBottom(), area (0, 66, 0, 0).getY() + 1);

            // The green install icon only for a full success.
            EXPECT_EQ (countPixels (image, area (43, 40, 14, 14), accentGreenColour, 10) > 0, heading == "SUCCESS!");
        }
    }

    /** Anything drawn over the background, however faint. */
    static bool isInk (juce::Colour c)     { return c.getBrightness() > 0.15f; }

    /** Installs the selection with a file where a format's folder belongs, so that format fails. */
    void installBlockedBy (const char* formatFolder)
    {
        sandbox.getCommonFiles().createDirectory();
        sandbox.getCommonFiles().getChildFile (formatFolder).replaceWithText ("in the way");
        click ("INSTALL");
        ASSERT_TRUE (panel->isInstallFinished());
    }
};

TEST_F (MainComponentOutcome, SuccessReplacesTheRows)
{
    makeBundle (0, "3.1.10.0");
    makePanel();
    click ("INSTALL");
    ASSERT_TRUE (panel->isInstallFinished());

    ASSERT_EQ (panel->getLastReport().lines, juce::StringArray ("VST3: installed, version 3.1.10.0"));

    const auto image = paint();
    EXPECT_GT (countPixels (image, title, lightTextColour), 200);
    EXPECT_GT (countPixels (image, detailsBand, greyTextColour, 40), 20);
    expectSpots (image, { { gearSpot, accentGreenColour, 0 }, { vst3Spot, backgroundColour, 0 },
                          { selectAllSpot, backgroundColour, 0 }, { installSpot, over (greyTextColour, 128) } });

    // The green is put back: the INSTALL face's icon keeps the dark ink at the next paint.
    const auto again = paint();
    EXPECT_EQ (countPixels (again, { 525, 450, 42, 42 }, accentGreenColour, 10), 0);
    EXPECT_GT (countPixels (again, { 525, 450, 42, 42 }, darkInkColour, 2), 40);
}

TEST_F (MainComponentOutcome, FailureShowsTheWarningAndTheReasons)
{
    makePanel();
    click ("SELECT_ALL");
    installBlockedBy ("CLAP");
    ASSERT_FALSE (panel->getLastOutcomes()[1].succeeded);
    ASSERT_TRUE (panel->getLastOutcomes()[1].reason.isNotEmpty());

    const auto failed = paint();
    EXPECT_TRUE (colourNear (failed.getPixelAt (warningSpot.x, warningSpot.y), juce::Colour (0xfff39200), 0));
    EXPECT_EQ (countPixels (failed, { 258, 240, 84, 84 }, accentGreenColour, 10), 0);
    EXPECT_GT (countPixels (failed, detailsBand, greyTextColour, 2), 30);
    EXPECT_GT (countPixels (failed, title, lightTextColour), 200);

    // The details stay whatever the pointer does.
    control ("EULA").setState (juce::Button::buttonOver);
    control ("EULA").setState (juce::Button::buttonNormal);
    EXPECT_GT (countPixels (paint(), detailsBand, greyTextColour, 2), 30);
}

TEST_F (MainComponentOutcome, ASuccessWithOldFilesLeftShowsItsNoteWrappedWithinThePanel)
{
    makeBundle (0, "3.1.10.0");
    const ov::test::ScopedImmutable stuck (getBundle (0).getChildFile ("Contents/x86_64-win/Tavrin3.vst3"));

    if (! stuck.isApplied())
        GTEST_SKIP() << "no chattr +i here";

    makePanel();
    click ("INSTALL");
    ASSERT_TRUE (panel->getLastOutcomes()[0].succeeded);
    ASSERT_EQ (panel->getLastOutcomes()[0].notes.size(), 1);

    const auto image = paint();
    expectSpots (image, { { gearSpot, accentGreenColour, 0 } });
    EXPECT_GT (countPixels (image, title, lightTextColour), 200);

    // The note names a long path: it wraps onto more than one line, all of it inside the box.
    const auto ink = [&image] (juce::Rectangle<int> area) { return countPixels (image, area, greyTextColour, 40); };
    EXPECT_GT (ink (detailsBand), 30);
    EXPECT_EQ (ink ({ 0, 168, 24, 72 }) + ink ({ 576, 168, 24, 72 }), 0);
    EXPECT_GT (ink ({ 24, 168, 552, 30 }), 0);
    EXPECT_GT (ink ({ 24, 204, 552, 36 }), 0);
}

TEST_F (MainComponentOutcome, FailedTitleIsNotTheSuccessTitle)
{
    // "SUCCESS!" is wider than "FAILED": count the lit columns.
    const auto litColumns = [this]
    {
        const auto image = paint().getClippedImage (title);
        int columns = 0;

        for (int x = 0; x < image.getWidth(); ++x)
            columns += countPixels (image, { x, 0, 1, image.getHeight() }, lightTextColour, 30) > 0 ? 1 : 0;

        return columns;
    };

    makePanel();
    click ("INSTALL");
    const auto success = litColumns();

    makePanel();
    click ("VST3");
    installBlockedBy ("VST3");
    ASSERT_FALSE (panel->getLastOutcomes()[0].succeeded);
    EXPECT_GT (success, litColumns() + 20);
}

//==============================================================================
// A full success, a partial failure and a total failure, at the smallest window, the first one and the largest
// (painted scaled down): the heading at the bottom of the box, the icon, and the lines in the band above the icon.
using MainComponentFinishedDisplay = MainComponentOutcome;

TEST_F (MainComponentFinishedDisplay, FullSuccess)
{
    makePanel();
    click ("SELECT_ALL");
    click ("INSTALL");
    expectShownAtEverySize ("SUCCESS!", 3);
}

TEST_F (MainComponentFinishedDisplay, PartialFailure)
{
    makePanel();
    click ("SELECT_ALL");
    installBlockedBy ("CLAP");
    expectShownAtEverySize ("1 OF 3 FAILED", 3);
}

TEST_F (MainComponentFinishedDisplay, TotalFailure)
{
    makePanel();
    click ("AAX");
    installBlockedBy ("Avid");
    expectShownAtEverySize ("FAILED", 1);
}

// The longest report a run can give (every format with a failure or two notes naming long paths) still fits the
// band above the icon, at 128 pixels and at 16384; three short lines keep the full height at 600.
TEST_F (MainComponentOutcome, TheLongestReportFitsTheBandAtTheSmallestAndTheLargestWindow)
{
    const juce::File path ("/home/a-rather-long-user-name/.wine/drive_c/Program Files/Common Files/Avid/Audio/Plug-Ins/"
                           "Some Deeper Folder/Tavrin3.aaxplugin.ov-del2");
    ov::FinishedRun run;
    run.outcomes = { ov::FormatOutcome { true, true, {}, { ov::describeLeftFiles (path), ov::describeFirstLoadedCopy (path) } },
                     ov::FormatOutcome { true, false, ov::failureReasons::leftoversStuck, {} },
                     ov::FormatOutcome { true, true, {}, { ov::describeLeftFiles (path) } } };
    run.versionAfter = { "3.1.10.0", {}, "3.1.10.0" };
    const auto longest = ov::describeRun (run).lines;

    const ScopedProgramLook look;

    for (const auto& [size, lines] : { std::pair { 128, longest }, std::pair { 16384, longest },
                                       std::pair { 600, juce::StringArray ({ "VST3: installed", "CLAP: installed", "AAX: installed" }) } })
    {
        SCOPED_TRACE (size);
        const auto u = (float) size * 0.01f;
        const juce::Rectangle<float> band (4.0f * u, 28.0f * u, 92.0f * u, 12.0f * u);
        const auto layout = ov::drawing::fitLines (lines, look.lookAndFeel.getRegularFont (3.0f * u), greyTextColour, band);

        EXPECT_LE (layout.getHeight(), band.getHeight());
        EXPECT_GE (layout.getNumLines(), lines.size());

        for (int i = 0; i < layout.getNumLines(); ++i)
            EXPECT_LE (layout.getLine (i).getLineBoundsX().getLength(), band.getWidth());

        if (size == 600)
            EXPECT_FLOAT_EQ (layout.getLine (0).runs.getFirst()->font.getHeight(), 3.0f * u);
    }
}

} // namespace
