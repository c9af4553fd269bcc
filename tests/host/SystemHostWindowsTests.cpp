// The host layer's Windows side, as the installer meets it on a Windows machine (here: Wine's).
#include "host/Host.h"
#include "host/PeVersionReader.h"
#include "host/RemoveTree.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace
{

TEST (SystemHostOnWindows, AnOldBundleMarkedReadOnlyAsExplorerMarksItIsRemovedWhole)
{
    const auto folder = juce::File::createTempFile ("ov_readonly");
    const auto bundle = folder.getChildFile ("Tavrin3.vst3");
    const auto desktopIni = bundle.getChildFile ("desktop.ini");
    const auto module = bundle.getChildFile ("Contents/x86_64-win/Tavrin3.vst3");
    ASSERT_TRUE (module.create() && desktopIni.replaceWithText ("[.ShellClassInfo]\r\nIconResource=Plugin.ico,0\r\n"));

    // A folder with an icon of its own is read-only for Explorer to read its desktop.ini, which is hidden and system.
    for (const auto& [file, attributes] : { std::pair { desktopIni, (DWORD) (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) },
                                            std::pair { module, (DWORD) FILE_ATTRIBUTE_READONLY },
                                            std::pair { bundle, (DWORD) FILE_ATTRIBUTE_READONLY } })
        ASSERT_TRUE (SetFileAttributesW (file.getFullPathName().toWideCharPointer(), (DWORD) attributes)) << file.getFullPathName();

    EXPECT_TRUE (ov::removeTree (bundle));
    EXPECT_FALSE (bundle.exists());
    folder.deleteRecursively();
}

TEST (SystemHostOnWindows, TheFoldersAreTheMachinesAndTheUsersOwn)
{
    const ov::SystemHost host;
    EXPECT_EQ (host.getCommonAppDataFolder().getFullPathName(), "C:\\ProgramData");
    EXPECT_EQ (host.getCommonFilesBase(), "C:/Program Files/Common Files");

    const auto temp = host.getTempFolder();
    EXPECT_TRUE (temp.isDirectory()) << temp.getFullPathName();
    EXPECT_EQ (temp.getFullPathName(), juce::File::getSpecialLocation (juce::File::tempDirectory).getFullPathName());

    const auto profile = juce::File::getSpecialLocation (juce::File::userHomeDirectory);
    EXPECT_EQ (host.getUserVst3Folder().getFullPathName(),
               profile.getChildFile ("AppData\\Local\\Programs\\Common\\VST3").getFullPathName());
}

TEST (SystemHostOnWindows, TheSystemReadsEveryModuleVersionAsTheProgramsOwnReaderDoes)
{
    const ov::SystemHost host;
    const auto modules = juce::File (OV_TEST_FIXTURES_DIR "/pe").findChildFiles (juce::File::findFiles, false, "*.dll");
    ASSERT_GE (modules.size(), 10);

    for (const auto& module : modules)
        // With several languages and none neutral, the system takes the user's, the reader the lowest
        // (see PeVersionReader.h); the modules we install carry one.
        if (module.getFileName() != "languages-x64.dll")
            EXPECT_EQ (host.getFileVersion (module), juce::String (ov::readPeFileVersion (module.getFullPathName().toStdString())))
            << module.getFileName();
}

TEST (SystemHostOnWindows, SettingsValuesNameFoldersOnlyByDriveOrShare)
{
    const ov::SystemHost host;

    for (const auto* folder : { "C:\\Program Files\\Common Files\\VST3", "d:/Plug-Ins", "\\\\server\\share\\VST3" })
        EXPECT_EQ (host.fromSettingsValue (folder).getFullPathName(), juce::File (folder).getFullPathName()) << folder;

    for (const auto* notAFolder : { "", "VST3", "C:VST3", "\\VST3", "/usr/lib/vst3", "C:" })
        EXPECT_EQ (host.fromSettingsValue (notAFolder).getFullPathName(), "") << notAFolder;

    EXPECT_EQ (host.toSettingsValue (juce::File ("C:\\Program Files\\Common Files\\CLAP")), "C:\\Program Files\\Common Files\\CLAP");
}

} // namespace
