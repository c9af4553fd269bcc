#pragma once

#include "host/Host.h"
#include "host/ProcessLock.h"
#include "install/FormatFiles.h"
#include "install/FormatStatus.h"
#include "product/ProductManifest.h"

#include <array>
#include <optional>

namespace ov
{

/** Held by a copy of the installer while it changes bundles, so that two copies on one machine never
    work on the same names at once. */
class InstallGuard final
{
public:
    /** Waits at most waitMilliseconds for another copy to let go. */
    InstallGuard (const Host& host, int waitMilliseconds);

    /** Where every copy working with the host's folders takes it. */
    static juce::String getLocation (const Host& host);

    ProcessLock::State getState() const noexcept    { return lock.getState(); }
    bool isHeld() const noexcept                    { return getState() == ProcessLock::State::held; }

private:
    ProcessLock lock;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (InstallGuard)
};

/** One selected format of a run; the archive is read only when installing. */
struct FormatJob
{
    FormatFiles files;
    const void* archiveData = nullptr;
    size_t archiveSize = 0;
    juce::File firstLoadedCopy;   // where hosts look for the plug-in before the install folder, if anywhere
};

/** The note of an install whose plug-in hosts will not load, since they find the copy at firstLoadedCopy first. */
juce::String describeFirstLoadedCopy (const juce::File& firstLoadedCopy);

using FormatJobs = std::array<std::optional<FormatJob>, product::numFormats>;
using FormatOutcomes = std::array<FormatOutcome, product::numFormats>;

/** How long a run waits for another copy's run to end before it reports that copy as busy. */
inline constexpr int busyWaitMilliseconds = 3000;

/** Installs (or, when uninstalling, removes) each given format in index order, under the guard. When
    another copy keeps the guard, or the guard cannot be taken, nothing is touched and every given format
    says which. An install that hosts will not load, because a copy they find first exists, says so in a
    note; that copy is not touched. */
FormatOutcomes runFormats (const FormatJobs& jobs, bool uninstalling, const juce::String& productVersion,
                           const Host& host, int waitMilliseconds = busyWaitMilliseconds);

/** Mends what killed runs left beside the bundles. Skipped, and false, unless the guard is held: another
    copy's run may own those names. */
bool recoverInterruptedRuns (const std::array<juce::File, product::numFormats>& bundles, const Host& host);

} // namespace ov
