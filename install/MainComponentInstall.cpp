#include "ui/MainComponent.h"
#include "product/ProductManifest.h"

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

ov::FormatStatus MainComponent::probeFormatStatus (int) const
{
    return {};
}

void MainComponent::installSelectedFormats()
{
}

void MainComponent::modifierKeysChanged (const juce::ModifierKeys&)
{
}
