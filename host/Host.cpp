#include "host/Host.h"
#include "host/PeVersionReader.h"

#if JUCE_WINDOWS
 #include <windows.h>
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
    return "C:/Program Files/Common Files";
}

juce::File SystemHost::getTempFolder() const
{
    WCHAR buffer[2048] = {};
    const auto length = GetTempPathW ((DWORD) juce::numElementsInArray (buffer), buffer);

    if (length == 0 || length >= (DWORD) juce::numElementsInArray (buffer))
        return {};

    return juce::File (juce::String (buffer));
}

juce::String SystemHost::getFileVersion (const juce::File& module) const
{
    return module.getVersion();
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

juce::File SystemHost::getTempFolder() const
{
    return juce::File::getSpecialLocation (juce::File::tempDirectory);
}

juce::String SystemHost::getFileVersion (const juce::File& module) const
{
    return juce::String (readPeFileVersion (module.getFullPathName().toStdString()));
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
