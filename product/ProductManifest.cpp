#include "product/ProductManifest.h"

namespace ov::product
{

const juce::StringArray& extraNames()
{
    static const juce::StringArray names { "EULA", "MANUAL", "WEBSITE", "SUPPORT", "SETTINGS" };
    return names;
}

const juce::StringArray& formatNames()
{
    static const juce::StringArray names { "VST3", "CLAP", "AAX", "AudioUnit V2", "AudioUnit V3" };
    return names;
}

const juce::StringArray& formatExtensions()
{
    static const juce::StringArray extensions { ".vst3", ".clap", ".aaxplugin" };
    return extensions;
}

juce::String makeProductName (const juce::String& identifier)
{
    const auto underscore = identifier.indexOfChar ('_');

    if (underscore < 0)
        return identifier;

    return identifier.replaceSection (underscore, 1, " ");
}

} // namespace ov::product
