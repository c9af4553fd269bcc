#include "install/FormatFiles.h"
#include "product/ProductManifest.h"

namespace ov
{

FormatFiles makeFormatFiles (const juce::File& installFolder, const juce::String& productName, int formatIndex)
{
    const auto fileName = productName + product::formats[(size_t) formatIndex].extension;
    const juce::String moduleFolder (product::formats[(size_t) formatIndex].moduleFolder);
    const auto bundle = installFolder.getChildFile (fileName);

    return { bundle, moduleFolder.isEmpty() ? bundle : bundle.getChildFile (moduleFolder + fileName) };
}

} // namespace ov
