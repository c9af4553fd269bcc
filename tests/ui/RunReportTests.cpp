#include "install/BundleInstaller.h"
#include "ui/RunReport.h"

#include <gtest/gtest.h>

namespace
{

ov::FormatOutcome succeeded (juce::StringArray notes = {})    { return { true, true, {}, std::move (notes) }; }
ov::FormatOutcome failed (const char* reason)                 { return { true, false, reason, {} }; }

ov::FinishedRun makeRun (ov::FormatOutcomes outcomes, bool uninstalled = false, std::array<bool, 3> presentBefore = {},
                         std::array<juce::String, 3> versionAfter = {})
{
    return { std::move (outcomes), uninstalled, presentBefore, std::move (versionAfter) };
}

TEST (RunReport, EachFormatTheRunTouchedSaysWhatBecameOfItAndTheHeadingClaimsNoMore)
{
    const auto note = juce::String ("hosts will load the other copy in C:/Users/x/VST3 first; remove it there to use this one");

    struct Case
    {
        const char* what;
        ov::FinishedRun run;
        const char* heading;
        juce::StringArray lines;
    };

    const Case cases[] {
        { "every format installed, CLAP without a version of its own",
          makeRun ({ succeeded(), succeeded(), succeeded() }, false, {}, { "3.1.10.0", "", "3.1.10.0" }),
          "SUCCESS!", { "VST3: installed, version 3.1.10.0", "CLAP: installed", "AAX: installed, version 3.1.10.0" } },
        { "one of three failed; a note follows its format's line",
          makeRun ({ failed (ov::failureReasons::notEnoughDiskSpace), succeeded ({ note }), succeeded() }, false, {},
                   { "", "3.1.10.0", "3.1.10.0" }),
          "1 OF 3 FAILED", { "VST3: not enough disk space", "CLAP: installed, version 3.1.10.0", "CLAP: " + note,
                             "AAX: installed, version 3.1.10.0" } },
        { "every selected format failed; the one not selected is not named",
          makeRun ({ failed (ov::failureReasons::anotherCopyBusy), {}, failed (ov::failureReasons::anotherCopyBusy) }),
          "FAILED", { "VST3: another copy of the installer is busy; nothing was changed",
                      "AAX: another copy of the installer is busy; nothing was changed" } },
        { "an uninstall: removed, not there to remove, still there",
          makeRun ({ succeeded(), succeeded(), failed (ov::failureReasons::bundleInUse) }, true, { true, false, true }),
          "1 OF 3 FAILED", { "VST3: removed", "CLAP: was not installed",
                             "AAX: a file of the plug-in is in use by another program" } },
        { "a run with nothing selected", {}, "SUCCESS!", {} },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto report = ov::describeRun (c.run);
        EXPECT_EQ (report.heading, c.heading);
        EXPECT_EQ (report.lines, c.lines);
        EXPECT_EQ (report.anyFailed, juce::String (c.heading) != "SUCCESS!");

        auto text = c.lines;
        text.insert (0, c.heading);
        EXPECT_EQ (report.asText(), text);
    }
}

} // namespace
