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

juce::String SystemHost::getMachineWideLockName (const juce::String& name) const
{
    return name;
}

#else

juce::File SystemHost::getWineDrive()
{
    const auto prefix = juce::SystemStats::getEnvironmentVariable ("WINEPREFIX", {});

    if (juce::File::isAbsolutePath (prefix))
        return juce::File (prefix).getChildFile ("drive_c");

    return juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".wine/drive_c");
}

juce::File SystemHost::getCommonAppDataFolder() const
{
    return getWineDrive().getChildFile ("ProgramData");
}

juce::String SystemHost::getCommonFilesBase() const
{
    return getWineDrive().getChildFile ("Program Files/Common Files").getFullPathName();
}

juce::File SystemHost::getTempFolder() const
{
    return juce::File::getSpecialLocation (juce::File::tempDirectory);
}

juce::String SystemHost::getFileVersion (const juce::File& module) const
{
    return juce::String (readPeFileVersion (module.getFullPathName().toStdString()));
}

juce::String SystemHost::getMachineWideLockName (const juce::String& name) const
{
    // Copies in other prefixes touch other files: they need not wait for each other.
    return name + "." + juce::String::toHexString (getWineDrive().getFullPathName().hashCode64());
}

#endif

bool SystemHost::openUrl (const juce::URL& url) const
{
    return url.launchInDefaultBrowser();
}

} // namespace ov
