#pragma once

#include <juce_core/juce_core.h>

namespace ov
{

/** The Windows side of a Wine prefix as a Unix program sees it: its drives, where its Windows paths
    lead and how a folder inside it is spelled for a Windows program. Only for hosts other than Windows. */
class WinePrefix final
{
public:
    /** A prefix folder (the one WINEPREFIX names) and the login name Wine runs under there. */
    WinePrefix (const juce::File& prefixFolder, const juce::String& loginName);

    /** $WINEPREFIX when it is an absolute path, else ~/.wine; the login name from getLoginName. */
    static WinePrefix fromEnvironment();

    /** The login name as Wine takes it: $USER, else the account's name; empty when neither is known. */
    static juce::String getLoginName();

    const juce::File& getFolder() const                { return folder; }

    /** <prefix>/drive_c, the folder Wine makes C: of. */
    juce::File getDriveC() const;

    /** <drive_c>/users/<login name>; the empty File when the name is unknown or not one folder name. */
    juce::File getUserProfileFolder() const;

    /** The folder a Windows path names in this prefix, as Wine would open it, or the empty File when it
        names none: a drive letter resolves through dosdevices/<letter>: when that link leads to a folder
        outside /proc, /sys and /dev, else C: is drive_c and other letters are unusable; UNC and relative
        paths are unusable. Both slashes separate, "." and ".." are folded as Windows does (never above the
        drive), and a name that exists only in another letter case is taken as it exists. A way through
        the kernel's own file systems or a magic link (/proc/self/cwd) is unusable. An absolute Unix path
        is taken as it stands. Costs the length of the path, each folder listed at most once. */
    juce::File toFolder (const juce::String& path) const;

    /** The Windows path of a folder ("C:\Program Files\Common Files\VST3"), through the drive that holds
        it most closely; a folder on no drive keeps its Unix path. */
    juce::String toWindowsPath (const juce::File& folder) const;

private:
    juce::File findDrive (juce::juce_wchar letter) const;

    juce::File folder;
    juce::String loginName;

    JUCE_LEAK_DETECTOR (WinePrefix)
};

} // namespace ov
