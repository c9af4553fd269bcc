#include "product/SettingsFile.h"
#include "product/ProductManifest.h"

namespace ov
{

const char* const SettingsFile::importantNote =
    "These are the paths that all Orvella installers will use for their respective formats. Edit them to "
    "personal taste, but keep in mind that some formats have specific homes. Use this feature at your own "
    "risk; follow the naming and separator conventions exactly as you see them, or you could end up with "
    "unintended consequences. If you delete this file, the next time you run the Plugin Manager for any OV "
    "product, a new one with the default locations will be written.";

// A settings file is a few hundred bytes; anything far larger is not one of ours and is not read into memory.
static constexpr juce::int64 maxSettingsFileSize = 1024 * 1024;

InstallFolders SettingsFile::makeDefaultFolders (const juce::String& commonFilesBase)
{
    const juce::File base (commonFilesBase);
    InstallFolders folders;

    // Same order as every other installer of the maker fills them.
    folders[1] = base.getChildFile (product::formats[1].defaultSubfolder);
    folders[0] = base.getChildFile (product::formats[0].defaultSubfolder);
    folders[2] = base.getChildFile (product::formats[2].defaultSubfolder);
    return folders;
}

bool SettingsFile::isUsablePath (const juce::String& value)
{
   #if JUCE_WINDOWS
    const auto hasDrive = value.length() >= 3
                           && juce::CharacterFunctions::isLetter (value[0])
                           && value[1] == ':'
                           && (value[2] == '\\' || value[2] == '/');
    const auto isShare = value.startsWith ("\\\\") || value.startsWith ("//");
    return hasDrive || isShare;
   #else
    return value.startsWithChar ('/');
   #endif
}

static void readSettings (const juce::File& file, InstallFolders& folders)
{
    if (file.getSize() > maxSettingsFileSize)
        return;

    // Parsed from text, so a document type in the file cannot pull other files in as entities.
    const auto root = juce::XmlDocument::parse (file.loadFileAsString());

    if (root == nullptr)
        return;

    for (size_t index = 0; index < folders.size(); ++index)
    {
        const auto value = root->getStringAttribute (product::formats[index].settingsKey);

        // An elevated installer must never resolve a folder against its working folder.
        if (! SettingsFile::isUsablePath (value))
            continue;

        folders[index] = juce::File (value);

        if (! folders[index].isDirectory())
            folders[index].createDirectory();
    }
}

static void writeSettings (const juce::File& settingsFolder, const juce::File& file, const InstallFolders& folders)
{
    // Something that is not a settings file sits at its name: leave it alone.
    if (file.isDirectory())
        return;

    if (! settingsFolder.isDirectory() && ! settingsFolder.createDirectory())
        return;

    juce::XmlElement element ("Plugin_Manager_Settings");
    element.setAttribute ("Important_Note:", SettingsFile::importantNote);
    element.setAttribute (product::formats[1].settingsKey, folders[1].getFullPathName());
    element.setAttribute (product::formats[0].settingsKey, folders[0].getFullPathName());
    element.setAttribute (product::formats[2].settingsKey, folders[2].getFullPathName());
    element.writeTo (file, {});
}

void SettingsFile::loadOrCreate (const juce::File& settingsFolder, InstallFolders& folders)
{
    const auto file = settingsFolder.getChildFile (product::settingsFileName);

    if (file.existsAsFile())
        readSettings (file, folders);
    else
        writeSettings (settingsFolder, file, folders);
}

} // namespace ov
