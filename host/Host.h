#pragma once

#include <juce_core/juce_core.h>

namespace ov
{

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

    virtual juce::File getTempFolder() const = 0;

    /** A module's file version as "a.b.c.d", or the empty text when it has none. */
    virtual juce::String getFileVersion (const juce::File& module) const = 0;

    /** Hands an address to the default browser or mail program. */
    virtual bool openUrl (const juce::URL& url) const = 0;

    /** The name under which every process on this machine shares an inter-process lock: on Windows the
        name itself; in a Wine prefix, a Windows machine of its own, the name marked with the prefix. */
    virtual juce::String getMachineWideLockName (const juce::String& name) const = 0;
};

/** The real system: Windows itself, or on other hosts the Windows drive of a Wine prefix. */
class SystemHost final : public Host
{
public:
    SystemHost() = default;

    juce::File getCommonAppDataFolder() const override;
    juce::String getCommonFilesBase() const override;
    juce::File getTempFolder() const override;
    juce::String getFileVersion (const juce::File& module) const override;
    bool openUrl (const juce::URL& url) const override;
    juce::String getMachineWideLockName (const juce::String& name) const override;

   #if ! JUCE_WINDOWS
    /** $WINEPREFIX/drive_c when WINEPREFIX is an absolute path, else ~/.wine/drive_c. */
    static juce::File getWineDrive();
   #endif

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SystemHost)
};

} // namespace ov
