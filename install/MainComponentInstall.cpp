#include "ui/MainComponent.h"
#include "host/RenameNoReplace.h"
#include "install/BundleInstaller.h"
#include "install/FormatProbe.h"
#include "install/InstallRun.h"
#include "product/ProductManifest.h"

#include "BinaryData.h"

namespace
{
    struct EmbeddedArchive
    {
        const char* data;
        int size;
    };

    EmbeddedArchive getEmbeddedArchive (int index)
    {
        switch (index)
        {
            case 0:  return { BinaryData::vst3_zip, BinaryData::vst3_zipSize };
            case 1:  return { BinaryData::clap_zip, BinaryData::clap_zipSize };
            case 2:  return { BinaryData::aax_zip, BinaryData::aax_zipSize };
            default: jassertfalse; return { nullptr, 0 };
        }
    }
}

juce::File MainComponent::getBundleFile (int index) const
{
    return ov::makeFormatFiles (installFolders[(size_t) index], productName, index).bundle;
}

juce::File MainComponent::getVersionProbeFile (int index) const
{
    return ov::makeFormatFiles (installFolders[(size_t) index], productName, index).versionProbeFile;
}

ov::FormatStatus MainComponent::probeFormatStatus (int index) const
{
    return ov::probeBundle (getBundleFile (index), getVersionProbeFile (index), productVersion, *host);
}

void MainComponent::recoverInterruptedRuns()
{
    std::array<juce::File, ov::product::numFormats> bundles;

    for (size_t i = 0; i < bundles.size(); ++i)
        bundles[i] = getBundleFile ((int) i);

    ov::recoverInterruptedRuns (bundles, *host);
}

void MainComponent::installSelectedFormats()
{
    ov::FormatJobs jobs;

    for (size_t i = 0; i < jobs.size(); ++i)
    {
        if (! formatSelected[i])
            continue;

        const auto index = (int) i;
        const auto archive = getEmbeddedArchive (index);
        const auto files = ov::makeFormatFiles (installFolders[i], productName, index);
        jobs[i] = ov::FormatJob { files, archive.data, (size_t) archive.size, {} };

        // VST3 hosts search the user's own folder before the machine-wide one.
        if (ov::product::formatNames()[index] == "VST3" && host->getUserVst3Folder() != juce::File())
            jobs[i]->firstLoadedCopy = host->getUserVst3Folder().getChildFile (files.bundle.getFileName());
        formatSelected[i] = false;
    }

    // What the report needs of the disk around the run: an uninstall that finds nothing removed nothing.
    ov::FinishedRun finished;
    finished.uninstalled = uninstallMode;

    for (size_t i = 0; i < jobs.size(); ++i)
        finished.presentBefore[i] = jobs[i] && ov::pathIsTaken (jobs[i]->files.bundle);

    lastOutcomes = ov::runFormats (jobs, uninstallMode, productVersion, *host);
    finished.outcomes = lastOutcomes;

    for (size_t i = 0; i < jobs.size(); ++i)
        if (lastOutcomes[i].succeeded && ! uninstallMode)
            finished.versionAfter[i] = probeFormatStatus ((int) i).installedVersion;

    lastReport = ov::describeRun (finished);
    installFinished = true;

    for (auto* control : { formatButtons[0].get(), formatButtons[1].get(), formatButtons[2].get(),
                           selectAllButton.get(), installButton.get() })
        if (control != nullptr)
            control->setVisible (false);

    repaint();
}

juce::Result MainComponent::unpackArchive (const juce::MemoryBlock& archiveCopy, const juce::File& targetFolder) const
{
    return ov::unpackArchive (archiveCopy, targetFolder);
}

void MainComponent::followShiftKey()
{
    modifierKeysChanged (juce::ModifierKeys::getCurrentModifiersRealtime());
}

void MainComponent::mouseEnter (const juce::MouseEvent&)
{
    followShiftKey();
}

void MainComponent::modifierKeysChanged (const juce::ModifierKeys& modifiers)
{
    // Shift, Ctrl, Alt and the bit above them; mouse buttons do not count as a change.
    const auto keys = modifiers.getRawFlags() & 0x0f;
    const auto changed = keys ^ lastModifierFlags;

    if ((changed & juce::ModifierKeys::shiftModifier) != 0)
    {
        uninstallMode = (keys & juce::ModifierKeys::shiftModifier) != 0;

        // A screen reader is told that INSTALL now reads UNINSTALL, or back.
        if (installButton != nullptr)
            if (auto* handler = installButton->getAccessibilityHandler())
                handler->notifyAccessibilityEvent (juce::AccessibilityEvent::titleChanged);
    }

    if (changed != 0)
        repaint();

    lastModifierFlags = keys;
}
