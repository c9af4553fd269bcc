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
    // The formats of other platforms stay in the list; nothing reads them here.
    static const juce::StringArray names = []
    {
        juce::StringArray list;

        for (const auto& format : formats)
            list.add (format.name);

        list.addArray ({ "AudioUnit V2", "AudioUnit V3" });
        return list;
    }();
    return names;
}

const juce::StringArray& formatExtensions()
{
    static const juce::StringArray extensions = []
    {
        juce::StringArray list;

        for (const auto& format : formats)
            list.add (format.extension);

        return list;
    }();
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
