#pragma once

#include <juce_core/juce_core.h>

#include <array>

namespace ov
{

using InstallFolders = std::array<juce::File, 3>;

/** The machine-wide file that all of the maker's installers share to name their install folders. */
struct SettingsFile
{
    /** The text every installer writes beside the paths, for the person who opens the file. */
    static const char* const importantNote;

    /** The folders used when the file is missing or names none: base/VST3, base/CLAP, base/Avid/Audio/Plug-Ins. */
    static InstallFolders makeDefaultFolders (const juce::String& commonFilesBase);

    /** Reads the file in settingsFolder once, or writes it with the given folders when it is missing.
        A usable absolute path in the file replaces the folder of its format (and that folder is created
        when missing); anything else leaves the format's folder as it was. Problems are never reported:
        the folders given stay in force. */
    static void loadOrCreate (const juce::File& settingsFolder, InstallFolders& folders);

    /** A value the installer may use: a full path (a drive or share on Windows, a leading / elsewhere). */
    static bool isUsablePath (const juce::String& value);
};

} // namespace ov
