#include "product/SettingsFile.h"
#include "product/ProductManifest.h"
#include "product/SettingsText.h"
#include "product/SettingsXmlWalk.h"
#include "host/RegularFile.h"

namespace ov
{

const char* const SettingsFile::importantNote =
    "These are the paths that all Orvella installers will use for their respective formats. Edit them to "
    "personal taste, but keep in mind that some formats have specific homes. Use this feature at your own "
    "risk; follow the naming and separator conventions exactly as you see them, or you could end up with "
    "unintended consequences. If you delete this file, the next time you run the Plugin Manager for any OV "
    "product, a new one with the default locations will be written.";

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

/** Whether a value could name a folder on Windows at all: not longer than any folder path, and no name in
    it holds a control character or one of <>:"|?* (a drive's colon aside). Checked before anything is
    looked up, so that no value costs more than its length. */
static bool couldNameAFolder (const juce::String& value)
{
    if (value.length() > maxSettingsValueLength)
        return false;

    const auto letter = value[0];
    const auto hasDrive = ((letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z')) && value[1] == ':';

    for (auto p = value.getCharPointer() + (hasDrive ? 2 : 0); ! p.isEmpty(); ++p)
        if (*p < 32 || juce::CharPointer_ASCII ("<>:\"|?*").indexOf (*p) >= 0)
            return false;

    return true;
}

static void readSettings (const juce::File& file, InstallFolders& folders, const Host& host)
{
    // One byte more than allowed tells a file at the limit from a larger one.
    const auto bytes = readRegularFile (file, SettingsFile::maxFileSize + 1);

    if (! bytes.has_value() || bytes->getSize() > SettingsFile::maxFileSize)
        return;

    const auto text = prepareSettingsText (decodeSettingsBytes (*bytes));

    if (! text.has_value())
        return;

    const auto root = juce::XmlDocument::parse (*text);

    if (root == nullptr)
        return;

    for (size_t index = 0; index < folders.size(); ++index)
    {
        const auto value = root->getStringAttribute (product::formats[index].settingsKey);

        if (! couldNameAFolder (value))
            continue;

        // An elevated installer must never resolve a folder against its working folder.
        const auto folder = host.fromSettingsValue (value);

        if (folder == juce::File() || folder.getFullPathName().length() > maxSettingsValueLength)
            continue;

        folders[index] = folder;

        if (! folder.isDirectory())
            folder.createDirectory();
    }
}

static void writeSettings (const juce::File& settingsFolder, const juce::File& file, const InstallFolders& folders,
                           const Host& host)
{
    // Something that is not a settings file sits at its name: leave it alone.
    if (file.isDirectory())
        return;

    if (! settingsFolder.isDirectory() && ! settingsFolder.createDirectory())
        return;

    juce::XmlElement element ("Plugin_Manager_Settings");
    element.setAttribute ("Important_Note:", SettingsFile::importantNote);
    element.setAttribute (product::formats[1].settingsKey, host.toSettingsValue (folders[1]));
    element.setAttribute (product::formats[0].settingsKey, host.toSettingsValue (folders[0]));
    element.setAttribute (product::formats[2].settingsKey, host.toSettingsValue (folders[2]));
    element.writeTo (file, {});
}

void SettingsFile::loadOrCreate (const juce::File& settingsFolder, InstallFolders& folders, const Host& host)
{
    const auto file = settingsFolder.getChildFile (product::settingsFileName);

    if (file.existsAsFile())
        readSettings (file, folders, host);
    else
        writeSettings (settingsFolder, file, folders, host);
}

} // namespace ov
