#pragma once

#include "install/InstallRun.h"

#include <juce_core/juce_core.h>

#include <array>

namespace ov
{

/** What the panel knows of a run once it has ended: the run's own outcomes, and what the disk showed
    of each format before and after it. */
struct FinishedRun
{
    FormatOutcomes outcomes;
    bool uninstalled = false;
    std::array<bool, product::numFormats> presentBefore {};        // something was at the bundle path
    std::array<juce::String, product::numFormats> versionAfter;     // the installed module's version, if it has one
};

/** The words of the finished display, which the support mail repeats. */
struct RunReport
{
    juce::String heading;        // "SUCCESS!", "FAILED", or how many of the touched formats failed
    juce::StringArray lines;     // each touched format's result, each followed by its notes
    bool anyFailed = false;

    /** The heading, then the lines: what a support request quotes. */
    juce::StringArray asText() const;
};

/** SUCCESS! only when every format the run touched succeeded, FAILED when none did; otherwise how many
    failed, e.g. "1 OF 3 FAILED", which claims neither more nor less than happened. */
RunReport describeRun (const FinishedRun&);

} // namespace ov
