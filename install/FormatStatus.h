#pragma once

#include <juce_core/juce_core.h>

namespace ov
{

enum class InstallState
{
    installed,
    needsUpdate,
    notInstalled
};

/** What one look at a format's bundle found; made afresh for every paint and never kept. */
struct FormatStatus
{
    bool bundleExists = false;
    juce::String installedVersion;
    bool needsUpdate = false;
    InstallState installState = InstallState::notInstalled;
    juce::String statusText;
};

/** How one format fared in an install or uninstall run. */
struct FormatOutcome
{
    bool processed = false;
    bool succeeded = false;
    juce::String reason;   // when it failed: one line of plain words for the user, without the format's
                           // name, which the failure display puts in front
    juce::StringArray notes;   // lines of plain words the finished display shows whether or not the
                               // format succeeded, also without the format's name
};

} // namespace ov
