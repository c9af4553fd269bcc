#include "host/Host.h"
#include "host/PeVersionReader.h"

#if JUCE_WINDOWS
 #include <windows.h>
 #include <initguid.h>     // defines FOLDERID_UserProgramFilesCommon here (select-any, so once per program)
 #include <knownfolders.h>
 #include <shlobj.h>

 #if ! JUCE_DONT_AUTOLINK_TO_WIN32_LIBRARIES
  #pragma comment (lib, "shell32.lib")
  #pragma comment (lib, "ole32.lib")
 #endif
#endif

namespace ov
{

#if JUCE_WINDOWS

juce::File SystemHost::getCommonAppDataFolder() const
{
    return juce::File::getSpecialLocation (juce::File::commonApplicationDataDirectory);
}

juce::String SystemHost::getCommonFilesBase() const
{
    return windowsCommonFilesBase;
}

juce::File SystemHost::getTempFolder() const
{
    WCHAR buffer[2048] = {};
    const auto length = GetTempPathW ((DWORD) juce::numElementsInArray (buffer), buffer);

    if (length == 0 || length >= (DWORD) juce::numElementsInArray (buffer))
        return {};

    return juce::File (juce::String (buffer));
}

static juce::File getKnownFolder (REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    juce::File folder;

    if (SUCCEEDED (SHGetKnownFolderPath (id, KF_FLAG_DONT_VERIFY, nullptr, &path)))
        folder = juce::File (juce::String (path));

    CoTaskMemFree (path);
    return folder;
}

juce::File SystemHost::getUserVst3Folder() const
{
    // The known folder of the user's common program files is %LOCALAPPDATA%\Programs\Common; a system that
    // does not know it (Wine 8) is asked for the local application data folder instead.
    const auto common = getKnownFolder (FOLDERID_UserProgramFilesCommon);

    if (common != juce::File())
        return common.getChildFile ("VST3");

    const auto local = getKnownFolder (FOLDERID_LocalAppData);
    return local != juce::File() ? local.getChildFile ("Programs\\Common\\VST3") : juce::File();
}

juce::String SystemHost::getFileVersion (const juce::File& module) const
{
    return module.getVersion();
}

juce::String SystemHost::getLockLocation (const juce::String& name) const
{
    return "Global\\" + name;
}

#else

SystemHost::SystemHost()
    : SystemHost (WinePrefix::fromEnvironment())
{
}

SystemHost::SystemHost (WinePrefix prefixToUse)
    : prefix (std::move (prefixToUse))
{
}

juce::File SystemHost::getCommonAppDataFolder() const
{
    return prefix.getDriveC().getChildFile ("ProgramData");
}

juce::String SystemHost::getCommonFilesBase() const
{
    return prefix.getDriveC().getChildFile ("Program Files/Common Files").getFullPathName();
}

// The folders a Windows program in the prefix sees as its user's; none when the user cannot be told.
static juce::File getUserFolder (const WinePrefix& prefix, const char* relativePath)
{
    const auto profile = prefix.getUserProfileFolder();
    return profile == juce::File() ? juce::File() : profile.getChildFile (relativePath);
}

juce::File SystemHost::getTempFolder() const
{
    return getUserFolder (prefix, "AppData/Local/Temp");
}

juce::File SystemHost::getUserVst3Folder() const
{
    return getUserFolder (prefix, "AppData/Local/Programs/Common/VST3");
}

juce::String SystemHost::getFileVersion (const juce::File& module) const
{
    return juce::String (readPeFileVersion (module.getFullPathName().toStdString()));
}

juce::String SystemHost::getLockLocation (const juce::String& name) const
{
    // A prefix is a Windows machine of its own, and it belongs to one user (Wine runs in no other), so
    // copies in other prefixes need not wait for each other and no other user can take the name.
    return prefix.getFolder().getChildFile (name + ".lock").getFullPathName();
}

juce::String SystemHost::toSettingsValue (const juce::File& folder) const
{
    return prefix.toWindowsPath (folder);
}

juce::File SystemHost::fromSettingsValue (const juce::String& value) const
{
    return prefix.toFolder (value);
}

#endif

juce::String Host::toSettingsValue (const juce::File& folder) const
{
    return folder.getFullPathName();
}

juce::File Host::fromSettingsValue (const juce::String& value) const
{
   #if JUCE_WINDOWS
    const auto hasDrive = value.length() >= 3
                           && juce::CharacterFunctions::isLetter (value[0])
                           && value[1] == ':'
                           && (value[2] == '\\' || value[2] == '/');
    const auto isShare = value.startsWith ("\\\\") || value.startsWith ("//");
    return hasDrive || isShare ? juce::File (value) : juce::File();
   #else
    return value.startsWithChar ('/') && ! value.startsWith ("//") ? juce::File (value) : juce::File();
   #endif
}

bool SystemHost::openUrl (const juce::URL& url) const
{
    return url.launchInDefaultBrowser();
}

} // namespace ov
