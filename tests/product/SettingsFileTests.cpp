#include "product/SettingsText.h"
#include "product/SettingsFile.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#if ! JUCE_WINDOWS
 #include "tests/product/WineSettingsTest.h"

 #include <sys/socket.h>
 #include <sys/stat.h>
 #include <sys/un.h>
 #include <unistd.h>
#endif

namespace
{

using ov::SettingsFile;

// A base as this system spells the Windows one, as long as it, so that the attributes wrap where they do there.
#if JUCE_WINDOWS
const juce::String commonFilesBase = "C:\\Program Files\\Common Files";
#else
const juce::String commonFilesBase = "/Program Files/Common Files";
#endif

juce::String inCommonFiles (const char* subfolder)
{
    return juce::File (commonFilesBase).getChildFile (subfolder).getFullPathName();
}

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
    const auto folders = SettingsFile::makeDefaultFolders (commonFilesBase);
    EXPECT_EQ (folders[0].getFullPathName(), inCommonFiles ("VST3"));
    EXPECT_EQ (folders[1].getFullPathName(), inCommonFiles ("CLAP"));
    EXPECT_EQ (folders[2].getFullPathName(), inCommonFiles ("Avid/Audio/Plug-Ins"));
}

TEST_F (SettingsFileTest, FirstRunWritesTheSharedLayoutByteForByte)
{
    auto folders = SettingsFile::makeDefaultFolders (commonFilesBase);
    sandbox.getMakerFolder().createDirectory();
    SettingsFile::loadOrCreate (sandbox.getMakerFolder(), folders, host);

    const juce::String indent = juce::String::repeatedString (" ", 24);
    const juce::String expected = juce::String ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n")
        + "<Plugin_Manager_Settings Important_Note:=\"" + SettingsFile::importantNote + "\"\r\n"
        + indent + " CLAP_Path=\"" + inCommonFiles ("CLAP") + "\" VST3_Path=\"" + inCommonFiles ("VST3") + "\"\r\n"
        + indent + " AAX_Path=\"" + inCommonFiles ("Avid/Audio/Plug-Ins") + "\"/>\r\n";

    juce::MemoryBlock written;
    ASSERT_TRUE (sandbox.getSettingsFile().loadFileAsData (written));
    EXPECT_EQ (written.toString(), expected);
    EXPECT_EQ (folders, SettingsFile::makeDefaultFolders (commonFilesBase));
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

    // And a full path of the other kind of system.
   #if JUCE_WINDOWS
    writeSettings (settingsWith ("VST3_Path=\"\" CLAP_Path=\"/usr/lib/clap\" AAX_Path=\"~/AAX\""));
   #else
    writeSettings (settingsWith ("VST3_Path=\"\" CLAP_Path=\"C:\\Program Files\\Common Files\\CLAP\" AAX_Path=\"~/AAX\""));
   #endif
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

namespace
{

/** Files a person or an attacker may leave at the settings path: each is unreadable, so the defaults stay
    and the file is left as it is. */
TEST_F (SettingsFileTest, HostileTextIsUnreadableAndLeftAlone)
{
    const auto target = sandbox.getRoot().getChildFile ("taken").getFullPathName();
    const juce::String nested = "<r VST3_Path=\"" + target + "\">" + juce::String::repeatedString ("<a>", 30000);
    const juce::String atLimit = "<r VST3_Path=\"" + target + "\"/>";

    const juce::StringArray cases {
        "<!DOCTYPE r [<!ENTITY a \"&?a;\">]><r VST3_Path=\"&a;\"/>",                    // endless recursion
        "<!DOCTYPE r [ <!ENTITY Y \"PPX;&\" > ]><r VST3_Path=\"&Y;\"/>",                // endless loop
        "<!DOCTYPE r [ <!ENTITY Y \"PPPX;&\" > ]><r VST3_Path=\"&Y;&Y;&Y;\"/>",         // gigabytes
        "<!DOCTYPE r><r VST3_Path=\"" + target + "\"/>",                                // any document type
        "<r VST3_Path=\"" + target + "\"/><!entity x \"y\">",
        nested,                                                                          // stack overflow
        nested.replace ("<a>", "<a\t>"),
        "<r VST3_Path=\"" + target + "\">" + juce::String::repeatedString ("<a x='/>'>", 17),
        "<r VST3_Path=\"" + target + "\"><?" "?>e</r>",                                      // endless loop in the parser
        atLimit + juce::String::repeatedString (" ", (int) SettingsFile::maxFileSize + 1 - atLimit.length()),
    };

    for (const auto& text : cases)
    {
        writeSettings (text);
        EXPECT_EQ (load(), defaults) << text.substring (0, 80);
        EXPECT_EQ (sandbox.getSettingsFile().loadFileAsString(), text) << text.substring (0, 80);
        EXPECT_FALSE (juce::File (target).exists()) << text.substring (0, 80);
    }

    // Nesting the framework reads without trouble, and a file right at the limit, are read.
    for (const auto& text : { "<r VST3_Path=\"" + target + "\">" + juce::String::repeatedString ("<a/><a><!--<a>--></a>", 40) + "</r>",
                              atLimit + juce::String::repeatedString (" ", (int) SettingsFile::maxFileSize - atLimit.length()) })
    {
        writeSettings (text);
        EXPECT_EQ (load()[0].getFullPathName(), target);
        juce::File (target).deleteRecursively();
    }
}

/** Things that are not regular files where the file should be: the read neither blocks nor runs away. */
TEST_F (SettingsFileTest, AFifoDeviceOrSocketIsNoReadableFile)
{
   #if JUCE_WINDOWS
    GTEST_SKIP() << "FIFOs, UNIX sockets and /dev are POSIX files";
   #else
    sandbox.getMakerFolder().createDirectory();
    const auto path = sandbox.getSettingsFile().getFullPathName();
    const auto fifo = sandbox.getRoot().getChildFile ("fifo");
    ASSERT_EQ (mkfifo (fifo.getFullPathName().toRawUTF8(), 0600), 0);

    for (const auto& target : { fifo, juce::File ("/dev/zero"), juce::File ("/dev/urandom") })
    {
        ASSERT_TRUE (target.createSymbolicLink (sandbox.getSettingsFile(), true));
        EXPECT_EQ (load(), defaults) << target.getFullPathName();
        EXPECT_TRUE (sandbox.getSettingsFile().isSymbolicLink());
        sandbox.getSettingsFile().deleteFile();
    }

    ASSERT_EQ (mkfifo (path.toRawUTF8(), 0600), 0);
    EXPECT_EQ (load(), defaults);
    sandbox.getSettingsFile().deleteFile();

    const auto socket = ::socket (AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    path.copyToUTF8 (address.sun_path, sizeof (address.sun_path));
    ASSERT_EQ (bind (socket, reinterpret_cast<sockaddr*> (&address), sizeof (address)), 0);
    EXPECT_EQ (load(), defaults);
    close (socket);
   #endif
}

TEST_F (SettingsFileTest, ABareAmpersandIsTheCharacterAndReferencesReadAsTheFrameworkReadsThem)
{
    const auto base = sandbox.getRoot().getFullPathName();
    writeSettings (settingsWith ("VST3_Path=\"" + base + "/Music & Audio/VST3\" CLAP_Path=\"" + base
                                 + "/R&D;&#12a;&#x;&foo;&\" AAX_Path=\"" + base + "/&amp;&APOS;&#65;&#x42;\""));
    const auto folders = load();

    EXPECT_EQ (folders[0].getFullPathName(), sandbox.getRoot().getChildFile ("Music & Audio/VST3").getFullPathName());
    EXPECT_EQ (folders[1].getFullPathName(), sandbox.getRoot().getChildFile ("R&D;&#12a;&#x;&foo;&").getFullPathName());
    EXPECT_EQ (folders[2].getFullPathName(), sandbox.getRoot().getChildFile ("&'AB").getFullPathName());
    EXPECT_TRUE (folders[0].isDirectory());
}

#if ! JUCE_WINDOWS
using ov::test::WineSettingsTest;

TEST_F (WineSettingsTest, AFreshPrefixGetsTheFileTheWindowsBuildWrites)
{
    host.getCommonAppDataFolder().createDirectory();
    EXPECT_EQ (load(), defaults);

    const juce::String indent = juce::String::repeatedString (" ", 24);
    const juce::String expected = juce::String ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n")
        + "<Plugin_Manager_Settings Important_Note:=\"" + SettingsFile::importantNote + "\"\r\n"
        + indent + " CLAP_Path=\"C:\\Program Files\\Common Files\\CLAP\" VST3_Path=\"C:\\Program Files\\Common Files\\VST3\"\r\n"
        + indent + " AAX_Path=\"C:\\Program Files\\Common Files\\Avid\\Audio\\Plug-Ins\"/>\r\n";

    juce::MemoryBlock written;
    ASSERT_TRUE (settingsFolder.getChildFile ("PluginManagerSettings.txt").loadFileAsData (written));
    EXPECT_EQ (written.toString(), expected);

    // Read back at the next start, it names the same folders.
    auto elsewhere = SettingsFile::makeDefaultFolders (sandbox.getRoot().getChildFile ("elsewhere").getFullPathName());
    SettingsFile::loadOrCreate (settingsFolder, elsewhere, host);
    EXPECT_EQ (elsewhere, defaults);
}

TEST_F (WineSettingsTest, DriveLetterPathsLeadWhereWineTakesThem)
{
    const auto dDrive = sandbox.getRoot().getChildFile ("data");
    const auto devices = prefixFolder.getChildFile ("dosdevices");
    devices.createDirectory();
    dDrive.createDirectory();
    // As Wine makes its drive links: relative to the dosdevices folder.
    ASSERT_EQ (symlink ("../../data", devices.getChildFile ("d:").getFullPathName().toRawUTF8()), 0);

    writeSettings ("VST3_Path=\"D:\\Plugins\\VST3\" CLAP_Path=\"d:/Plugins//CLAP/\" AAX_Path=\"C:\\..\\..\\Plugins\\.\\AAX\"");
    const auto folders = load();
    const auto realData = juce::File (juce::String (realpath (dDrive.getFullPathName().toRawUTF8(), nullptr)));
    EXPECT_EQ (folders[0], realData.getChildFile ("Plugins/VST3"));
    EXPECT_EQ (folders[1], realData.getChildFile ("Plugins/CLAP"));
    EXPECT_EQ (folders[2], prefixFolder.getChildFile ("drive_c/Plugins/AAX"));
    EXPECT_TRUE (folders[0].isDirectory());
    EXPECT_EQ (host.toSettingsValue (folders[0]), "D:\\Plugins\\VST3");
    EXPECT_EQ (host.toSettingsValue (folders[2]), "C:\\Plugins\\AAX");
}

TEST_F (WineSettingsTest, ValuesWithNoPlaceInThePrefixKeepTheirDefaults)
{
    const auto devices = prefixFolder.getChildFile ("dosdevices");
    devices.createDirectory();
    ASSERT_EQ (symlink ("/nonexistent/usb-disk", devices.getChildFile ("f:").getFullPathName().toRawUTF8()), 0);

    for (const auto* value : { "E:\\Plugins", "F:\\Plugins", "\\\\server\\share\\VST3", "//server/share/VST3",
                               "\\\\?\\C:\\VST3", "C:Plugins", "C:", "Plugins\\VST3", "", "~/VST3", "1:\\x" })
    {
        writeSettings (juce::String ("VST3_Path=\"") + value + "\"");
        EXPECT_EQ (load(), defaults) << value;
    }

    EXPECT_FALSE (juce::File ("/nonexistent").exists());
}

TEST_F (WineSettingsTest, NamesAreFoundInAnyCaseAndNeverLeaveTheDrive)
{
    const auto vst3 = prefixFolder.getChildFile ("drive_c/Program Files/Common Files/VST3");
    vst3.createDirectory();
    const auto unixFolder = sandbox.getRoot().getChildFile ("unix/VST3");

    writeSettings ("VST3_Path=\"c:\\PROGRAM FILES\\common files\\vst3\\\" CLAP_Path=\"C:\\~root\\..\\~\\CLAP\" AAX_Path=\""
                   + unixFolder.getFullPathName() + "\"");
    const auto folders = load();
    EXPECT_EQ (folders[0], vst3);
    EXPECT_EQ (folders[1].getFullPathName(), prefixFolder.getChildFile ("drive_c").getFullPathName() + "/~/CLAP");
    EXPECT_TRUE (folders[1].isAChildOf (prefixFolder.getChildFile ("drive_c")));
    EXPECT_EQ (folders[2], unixFolder);
    EXPECT_TRUE (unixFolder.isDirectory());
}
#endif

} // namespace

TEST (SettingsText, BrokenUtf16BecomesReplacementCharactersThatEveryEncodingHolds)
{
    // A high surrogate with no low half, a low one alone, and an odd last byte, both byte orders.
    for (const auto& bytes : { std::vector<uint8_t> { 0xfe, 0xff, 0xd8, 0x00, 0x00, 0x41, 0xdc, 0x00, 0x42 },
                               std::vector<uint8_t> { 0xff, 0xfe, 0x00, 0xd8, 0x41, 0x00, 0x00, 0xdc, 0x42 },
                               std::vector<uint8_t> { 0xfe, 0xff, 0x16, 0x08, 0xff } })
    {
        const auto text = ov::decodeSettingsBytes (juce::MemoryBlock (bytes.data(), bytes.size()));
        EXPECT_TRUE (juce::CharPointer_UTF8::isValidString (text.toRawUTF8(), (int) text.getNumBytesAsUTF8())) << text;
        EXPECT_TRUE (text.containsChar (0xfffd)) << text;
    }

    const std::vector<uint8_t> pair { 0xfe, 0xff, 0xd8, 0x3d, 0xde, 0x00 };
    EXPECT_EQ (ov::decodeSettingsBytes (juce::MemoryBlock (pair.data(), pair.size())), juce::String::charToString (0x1f600));
}
