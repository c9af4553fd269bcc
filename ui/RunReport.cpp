#include "ui/RunReport.h"

namespace ov
{

namespace
{

juce::String describeResult (const FinishedRun& run, size_t index)
{
    const auto& outcome = run.outcomes[index];

    if (! outcome.succeeded)
        return outcome.reason;

    if (run.uninstalled)
        return run.presentBefore[index] ? "removed" : "was not installed";

    const auto& version = run.versionAfter[index];
    return version.isEmpty() ? juce::String ("installed") : "installed, version " + version;
}

} // namespace

juce::StringArray RunReport::asText() const
{
    auto text = lines;
    text.insert (0, heading);
    return text;
}

RunReport describeRun (const FinishedRun& run)
{
    RunReport report;
    auto touched = 0, succeeded = 0;

    for (size_t i = 0; i < run.outcomes.size(); ++i)
    {
        const auto& outcome = run.outcomes[i];

        if (! outcome.processed)
            continue;

        const auto& name = product::formatNames()[(int) i];
        ++touched;
        succeeded += outcome.succeeded ? 1 : 0;
        report.lines.add (name + ": " + describeResult (run, i));

        for (const auto& note : outcome.notes)
            report.lines.add (name + ": " + note);
    }

    const auto failed = touched - succeeded;
    report.anyFailed = failed > 0;

    if (failed == 0)
        report.heading = "SUCCESS!";
    else if (succeeded == 0)
        report.heading = "FAILED";
    else
        report.heading = juce::String (failed) + " OF " + juce::String (touched) + " FAILED";

    return report;
}

} // namespace ov
