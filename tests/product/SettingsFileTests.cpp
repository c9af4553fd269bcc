#include "product/SettingsFile.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

namespace
{

using ov::SettingsFile;

struct SettingsFileTest : public ::testing::Test
{
    ov::test::Sandbox sandbox;
    ov::test::SandboxHost host { sandbox };
    ov::InstallFolders defaults = SettingsFile::makeDefaultFolders (sandbox.getCommonFiles().getFullPathName());

    ov::InstallFolders load()
    {
        auto folders = defaults;
        SettingsFile::loadOrCreate (sandbox.getMakerFolder(), folders, host);
        return folders;
    }

    void writeSettings (const juce::String& text)
    {
        sandbox.getMakerFolder().createDirectory();
        ASSERT_TRUE (sandbox.getSettingsFile().replaceWithText (text));
    }

    static juce::String settingsWith (const juce::String& attributes, const juce::String& tag = "Plugin_Manager_Settings")
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + tag + " " + attributes + "/>\n";
    }
};

TEST_F (SettingsFileTest, DefaultFoldersHangOffTheCommonFilesBase)
{
    const auto folders = SettingsFile::makeDefaultFolders ("/Program Files/Common Files");
    EXPECT_EQ (folders[0].getFullPathName(), "/Program Files/Common Files/VST3");
    EXPECT_EQ (folders[1].getFullPathName(), "/Program Files/Common Files/CLAP");
    EXPECT_EQ (folders[2].getFullPathName(), "/Program Files/Common Files/Avid/Audio/Plug-Ins");
}

TEST_F (SettingsFileTest, FirstRunWritesTheSharedLayoutByteForByte)
{
    // Paths as long as the Windows defaults, so the attributes wrap where they do there.
    auto folders = SettingsFile::makeDefaultFolders ("/Program Files/Common Files");
    sandbox.getMakerFolder().createDirectory();
    SettingsFile::loadOrCreate (sandbox.getMakerFolder(), folders, host);

    const juce::String indent = juce::String::repeatedString (" ", 24);
    const juce::String expected = juce::String ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n")
        + "<Plugin_Manager_Settings Important_Note:=\"" + SettingsFile::importantNote + "\"\r\n"
        + indent + " CLAP_Path=\"/Program Files/Common Files/CLAP\" VST3_Path=\"/Program Files/Common Files/VST3\"\r\n"
        + indent + " AAX_Path=\"/Program Files/Common Files/Avid/Audio/Plug-Ins\"/>\r\n";

    juce::MemoryBlock written;
    ASSERT_TRUE (sandbox.getSettingsFile().loadFileAsData (written));
    EXPECT_EQ (written.toString(), expected);
    EXPECT_EQ (folders, SettingsFile::makeDefaultFolders ("/Program Files/Common Files"));
}

TEST_F (SettingsFileTest, MissingMakerFolderIsCreatedAndTheFileWritten)
{
    ASSERT_FALSE (sandbox.getMakerFolder().exists());
    EXPECT_EQ (load(), defaults);
    ASSERT_TRUE (sandbox.getSettingsFile().existsAsFile());

    const auto root = juce::XmlDocument::parse (sandbox.getSettingsFile());
    ASSERT_NE (root, nullptr);
    EXPECT_EQ (root->getTagName(), "Plugin_Manager_Settings");
    EXPECT_EQ (root->getAttributeName (0), "Important_Note:");
    EXPECT_EQ (root->getAttributeName (1), "CLAP_Path");
    EXPECT_EQ (root->getAttributeName (2), "VST3_Path");
    EXPECT_EQ (root->getAttributeName (3), "AAX_Path");
    EXPECT_EQ (root->getStringAttribute ("VST3_Path"), defaults[0].getFullPathName());
}

TEST_F (SettingsFileTest, AFileWeWroteReadsBackUnchanged)
{
    load();
    const auto firstBytes = sandbox.getSettingsFile().loadFileAsString();

    auto otherDefaults = SettingsFile::makeDefaultFolders (sandbox.getRoot().getChildFile ("elsewhere").getFullPathName());
    SettingsFile::loadOrCreate (sandbox.getMakerFolder(), otherDefaults, host);

    EXPECT_EQ (otherDefaults, defaults);
    EXPECT_EQ (sandbox.getSettingsFile().loadFileAsString(), firstBytes);
}

TEST_F (SettingsFileTest, ConfiguredFoldersReplaceTheDefaultsAndAreCreated)
{
    const auto vst3 = sandbox.getRoot().getChildFile ("D/Plugins/VST3");
    const auto clap = sandbox.getRoot().getChildFile ("D/Plugins/CLAP");
    const auto aax = sandbox.getRoot().getChildFile ("D/Plugins/AAX");
    writeSettings (settingsWith ("VST3_Path=\"" + vst3.getFullPathName() + "\" CLAP_Path=\"" + clap.getFullPathName()
                                 + "\" AAX_Path=\"" + aax.getFullPathName() + "\"", "SomeOtherInstaller"));
    const auto before = sandbox.getSettingsFile().loadFileAsString();

    EXPECT_EQ (load(), (ov::InstallFolders { vst3, clap, aax }));
    EXPECT_TRUE (vst3.isDirectory());
    EXPECT_TRUE (clap.isDirectory());
    EXPECT_TRUE (aax.isDirectory());
    EXPECT_EQ (sandbox.getSettingsFile().loadFileAsString(), before);
}

TEST_F (SettingsFileTest, UnusableValuesKeepTheDefaultOfTheirFormat)
{
    // Key in the wrong case (so missing), empty, and relative to whatever the working folder is.
    const auto clap = sandbox.getRoot().getChildFile ("D/CLAP");
    writeSettings (settingsWith ("vst3_path=\"" + sandbox.getRoot().getChildFile ("lower").getFullPathName()
                                 + "\" CLAP_Path=\"" + clap.getFullPathName() + "\" AAX_Path=\"Plugins/AAX\""));
    auto folders = load();
    EXPECT_EQ (folders, (ov::InstallFolders { defaults[0], clap, defaults[2] }));
    EXPECT_FALSE (sandbox.getRoot().getChildFile ("lower").exists());

    writeSettings (settingsWith ("VST3_Path=\"\" CLAP_Path=\"C:\\Program Files\\Common Files\\CLAP\" AAX_Path=\"~/AAX\""));
    EXPECT_EQ (load(), defaults);
}

TEST_F (SettingsFileTest, AnUnreadableFileLeavesDefaultsAndIsNotTouched)
{
    for (const auto* garbage : { "garbage \x01\x02 not xml <<<", "", "<?xml version=\"1.0\"?>\r\n" })
    {
        writeSettings (garbage);
        EXPECT_EQ (load(), defaults) << garbage;
        EXPECT_EQ (sandbox.getSettingsFile().loadFileAsString(), juce::String (garbage));
    }
}

TEST_F (SettingsFileTest, AHugeFileIsNotReadIntoMemory)
{
    const auto target = sandbox.getRoot().getChildFile ("huge");
    juce::String text = settingsWith ("VST3_Path=\"" + target.getFullPathName() + "\"");
    text << juce::String::repeatedString ("<!-- padding -->", 70000);
    writeSettings (text);

    EXPECT_EQ (load(), defaults);
    EXPECT_FALSE (target.exists());
}

TEST_F (SettingsFileTest, AFolderInPlaceOfTheFileIsLeftAlone)
{
    const auto inside = sandbox.getSettingsFile().getChildFile ("keep.txt");
    sandbox.getSettingsFile().createDirectory();
    ASSERT_TRUE (inside.replaceWithText ("mine"));

    EXPECT_EQ (load(), defaults);
    EXPECT_TRUE (sandbox.getSettingsFile().isDirectory());
    EXPECT_EQ (inside.loadFileAsString(), "mine");

    inside.deleteFile();
    EXPECT_EQ (load(), defaults);
    EXPECT_TRUE (sandbox.getSettingsFile().isDirectory());
}

TEST_F (SettingsFileTest, AMakerFolderThatCannotBeMadeLeavesDefaults)
{
    // A file where the maker folder should be: nothing can be written, nothing is reported.
    sandbox.getCommonAppData().createDirectory();
    ASSERT_TRUE (sandbox.getMakerFolder().replaceWithText ("not a folder"));

    EXPECT_EQ (load(), defaults);
    EXPECT_TRUE (sandbox.getMakerFolder().existsAsFile());
}

} // namespace
