#include "install/InstallRun.h"
#include "install/BundleInstaller.h"
#include "install/FormatProbe.h"

namespace ov
{

InstallGuard::InstallGuard (const Host& host, int waitMilliseconds)
    : lock (getLocation (host), waitMilliseconds)
{
}

juce::String InstallGuard::getLocation (const Host& host)
{
    return host.getLockLocation (juce::String (product::makerFolderName) + "." + product::productIdentifier + ".installer");
}

juce::String describeFirstLoadedCopy (const juce::File& firstLoadedCopy)
{
    return "hosts will load the other copy in " + firstLoadedCopy.getParentDirectory().getFullPathName()
           + " first; remove it there to use this one";
}

FormatOutcomes runFormats (const FormatJobs& jobs, bool uninstalling, const juce::String& productVersion,
                           const Host& host, int waitMilliseconds)
{
    FormatOutcomes outcomes;
    const InstallGuard guard (host, waitMilliseconds);
    const auto* refusal = guard.getState() == ProcessLock::State::heldByAnother ? failureReasons::anotherCopyBusy
                                                                                 : failureReasons::cannotRunAlone;

    for (size_t i = 0; i < jobs.size(); ++i)
    {
        if (! jobs[i])
            continue;

        const auto& job = *jobs[i];

        if (! guard.isHeld())
            outcomes[i] = { true, false, refusal, {} };
        else if (uninstalling)
            outcomes[i] = uninstallBundle (job.files.bundle);
        else
            outcomes[i] = installBundle (job.files, job.archiveData, job.archiveSize, productVersion, host);

        if (! uninstalling && outcomes[i].succeeded && job.firstLoadedCopy != juce::File()
             && isLoadableCopy (job.firstLoadedCopy))
            outcomes[i].notes.add (describeFirstLoadedCopy (job.firstLoadedCopy));
    }

    return outcomes;
}

bool recoverInterruptedRuns (const std::array<juce::File, product::numFormats>& bundles, const Host& host)
{
    const InstallGuard guard (host, 0);

    if (! guard.isHeld())
        return false;

    for (const auto& bundle : bundles)
        recoverInterruptedRun (bundle);

    return true;
}

} // namespace ov
