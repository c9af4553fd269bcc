#pragma once

#include <juce_core/juce_core.h>

namespace ov
{

/** Where one format's bundle lies in its install folder, and the module inside it whose file version
    tells which version is installed. */
struct FormatFiles
{
    juce::File bundle;
    juce::File versionProbeFile;   // the bundle itself when the bundle is a single file
};

/** The bundle is installFolder / (productName + the format's extension); a folder bundle's module is
    the format's module folder / (productName + extension) inside it. */
FormatFiles makeFormatFiles (const juce::File& installFolder, const juce::String& productName, int formatIndex);

} // namespace ov
