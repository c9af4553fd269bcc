#pragma once

#include "host/Host.h"

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
        A value the host can use (Host::fromSettingsValue) replaces the folder of its format, and that
        folder is created when missing; anything else leaves the format's folder as it was, and so does a
        value longer than 4,096 characters or with a name Windows cannot hold (a control character or one
        of <>:"|?*), which is never looked up. A file that is not a regular one, is larger than
        maxFileSize, carries a document type or nests elements deeply is unreadable. Problems are never
        reported: the folders given stay in force. */
    static void loadOrCreate (const juce::File& settingsFolder, InstallFolders& folders, const Host& host);

    /** A settings file is a few hundred bytes; anything larger is not one of ours and is not read. */
    static constexpr size_t maxFileSize = 1024 * 1024;
};

} // namespace ov
