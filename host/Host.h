#pragma once

#include <juce_core/juce_core.h>

#if ! JUCE_WINDOWS
 #include "host/WinePrefix.h"
#endif

namespace ov
{

/** Where Windows keeps the common program files, the base of the default install folders. */
inline constexpr const char* windowsCommonFilesBase = "C:/Program Files/Common Files";

/** The few system values and calls that differ between Windows and the hosts we develop on.
    Everything else in the program uses the framework's cross-platform calls. */
class Host
{
public:
    virtual ~Host() = default;

    /** The machine-wide application-data folder (C:\ProgramData on Windows). */
    virtual juce::File getCommonAppDataFolder() const = 0;

    /** The base of the default install folders, "C:/Program Files/Common Files" on Windows. */
    virtual juce::String getCommonFilesBase() const = 0;

    /** The Windows temporary folder of the user who runs the installer. */
    virtual juce::File getTempFolder() const = 0;

    /** The user's own VST3 folder (%LOCALAPPDATA%\Programs\Common\VST3), which hosts search before the
        machine-wide one; the empty File when the system cannot tell. */
    virtual juce::File getUserVst3Folder() const = 0;

    /** A module's file version as "a.b.c.d", or the empty text when it has none. */
    virtual juce::String getFileVersion (const juce::File& module) const = 0;

    /** Hands an address to the default browser or mail program. */
    virtual bool openUrl (const juce::URL& url) const = 0;

    /** Where the processes that change the same folders take turns with a ProcessLock of this name: on
        Windows a mutex in the machine-wide namespace; elsewhere a file in a folder that only its owner
        may change. */
    virtual juce::String getLockLocation (const juce::String& name) const = 0;

    /** How the shared settings file spells a folder; by default its full path on this system. */
    virtual juce::String toSettingsValue (const juce::File& folder) const;

    /** The folder a value of the shared settings file names, or the empty File when it names none the
        installer may use. By default a full path of this system: a drive or share on Windows, a path
        from the root elsewhere; never one relative to the working folder. */
    virtual juce::File fromSettingsValue (const juce::String& value) const;
};

/** The real system: Windows itself, or on other hosts the Windows drive of a Wine prefix. */
class SystemHost final : public Host
{
public:
   #if JUCE_WINDOWS
    SystemHost() = default;
   #else
    /** The prefix that WINEPREFIX names, as Wine finds it. */
    SystemHost();
    explicit SystemHost (WinePrefix prefixToUse);
   #endif

    juce::File getCommonAppDataFolder() const override;
    juce::String getCommonFilesBase() const override;
    juce::File getTempFolder() const override;
    juce::File getUserVst3Folder() const override;
    juce::String getFileVersion (const juce::File& module) const override;
    bool openUrl (const juce::URL& url) const override;
    juce::String getLockLocation (const juce::String& name) const override;

   #if ! JUCE_WINDOWS
    /** The settings file is shared with the maker's Windows installers in the prefix: Windows paths. */
    juce::String toSettingsValue (const juce::File& folder) const override;
    juce::File fromSettingsValue (const juce::String& value) const override;

    const WinePrefix& getPrefix() const     { return prefix; }

private:
    WinePrefix prefix;
   #else
private:
   #endif

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SystemHost)
};

} // namespace ov
