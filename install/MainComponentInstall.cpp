#include "ui/MainComponent.h"
#include "install/BundleInstaller.h"
#include "install/FormatProbe.h"
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
    return installFolders[(size_t) index].getChildFile (productName + ov::product::formatExtensions()[index]);
}

juce::File MainComponent::getVersionProbeFile (int index) const
{
    const juce::String moduleFolder (ov::product::formats[(size_t) index].moduleFolder);

    if (moduleFolder.isEmpty())
        return getBundleFile (index);

    return getBundleFile (index).getChildFile (moduleFolder + productName + ov::product::formatExtensions()[index]);
}

ov::FormatStatus MainComponent::probeFormatStatus (int index) const
{
    return ov::probeBundle (getBundleFile (index), getVersionProbeFile (index), productVersion, *host);
}

bool MainComponent::findBundleAfterRecovery (int index)
{
    // A run that was killed may have left the user's plug-in set aside: it goes back before the
    // selection looks at the bundle, so it shows as installed and starts selected.
    ov::recoverInterruptedRun (getBundleFile (index));
    return getBundleFile (index).exists();
}

void MainComponent::installSelectedFormats()
{
    for (size_t i = 0; i < formatSelected.size(); ++i)
    {
        lastOutcomes[i] = {};

        if (! formatSelected[i])
            continue;

        const auto index = (int) i;
        const auto archive = getEmbeddedArchive (index);
        const auto readsBackAsInstalled = [this, index]
        {
            return probeFormatStatus (index).installState == ov::InstallState::installed;
        };

        const auto unpack = [this] (const juce::MemoryBlock& archiveCopy, const juce::File& stagingFolder)
        {
            return unpackArchive (archiveCopy, stagingFolder);
        };

        lastOutcomes[i] = uninstallMode ? ov::uninstallBundle (getBundleFile (index))
                                        : ov::installBundle (getBundleFile (index), archive.data, (size_t) archive.size,
                                                             unpack, readsBackAsInstalled);

        formatSelected[i] = false;
    }

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
