#include "host/Host.h"
#include "host/WinePrefix.h"
#include "support/Sandbox.h"
#include "tests/fuzz/FuzzTarget.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/inotify.h>
#include <unistd.h>


namespace
{

TEST (WinePrefix, TheUserProfileIsTheLoginNameUnderUsers)
{
    const ov::test::Sandbox sandbox;
    EXPECT_EQ (ov::WinePrefix (sandbox.getRoot(), "me").getUserProfileFolder(), sandbox.getRoot().getChildFile ("drive_c/users/me"));
    EXPECT_EQ (ov::WinePrefix (sandbox.getRoot(), "~me").getUserProfileFolder().getFullPathName(),
               sandbox.getRoot().getFullPathName() + "/drive_c/users/~me");

    for (const auto* unusable : { "", ".", "..", "a/b" })
        EXPECT_EQ (ov::WinePrefix (sandbox.getRoot(), unusable).getUserProfileFolder(), juce::File()) << unusable;
}

TEST (WinePrefix, TheTemporaryAndTheUsersVst3FolderAreThoseOfTheUserInThePrefix)
{
    const ov::test::Sandbox sandbox;
    const ov::SystemHost host (ov::WinePrefix (sandbox.getRoot(), "me"));
    const auto local = sandbox.getRoot().getChildFile ("drive_c/users/me/AppData/Local");
    EXPECT_EQ (host.getTempFolder(), local.getChildFile ("Temp"));
    EXPECT_EQ (host.getUserVst3Folder(), local.getChildFile ("Programs/Common/VST3"));

    // With no user to tell, there is no such folder: never the system's own temporary folder.
    const ov::SystemHost nobody (ov::WinePrefix (sandbox.getRoot(), ""));
    EXPECT_EQ (nobody.getTempFolder(), juce::File());
    EXPECT_EQ (nobody.getUserVst3Folder(), juce::File());
}

TEST (WinePrefix, TheLoginNameIsUserElseTheAccountName)
{
    const auto saved = juce::SystemStats::getEnvironmentVariable ("USER", {});
    setenv ("USER", "someone", 1);
    EXPECT_EQ (ov::WinePrefix::getLoginName(), "someone");

    unsetenv ("USER");
    EXPECT_EQ (ov::WinePrefix::getLoginName(), juce::String::fromUTF8 (getpwuid (getuid())->pw_name));
    EXPECT_EQ (ov::WinePrefix::fromEnvironment().getUserProfileFolder().getFileName(),
               juce::String::fromUTF8 (getpwuid (getuid())->pw_name));

    if (saved.isNotEmpty())
        setenv ("USER", saved.toRawUTF8(), 1);
}

TEST (WinePrefix, FoldersOffEveryDriveKeepTheirUnixPath)
{
    const ov::test::Sandbox sandbox;
    const ov::WinePrefix prefix (sandbox.getRoot().getChildFile ("wine"), "me");
    EXPECT_EQ (prefix.toWindowsPath (prefix.getDriveC()), "C:\\");
    EXPECT_EQ (prefix.toWindowsPath (prefix.getDriveC().getChildFile ("a b/c")), "C:\\a b\\c");
    EXPECT_EQ (prefix.toWindowsPath (sandbox.getRoot().getChildFile ("x")), sandbox.getRoot().getChildFile ("x").getFullPathName());
    EXPECT_EQ (prefix.toWindowsPath (sandbox.getRoot().getChildFile ("wine/drive_cx")),
               sandbox.getRoot().getChildFile ("wine/drive_cx").getFullPathName());
    EXPECT_EQ (prefix.toFolder ("C:\\"), prefix.getDriveC());
}

/** A prefix in a sandbox whose drives the test links. */
struct WineDrives
{
    WineDrives()
    {
        prefix.getDriveC().createDirectory();
        prefix.getFolder().getChildFile ("dosdevices").createDirectory();
    }

    void link (const char* drive, const juce::String& target) const
    {
        const auto device = prefix.getFolder().getChildFile ("dosdevices").getChildFile (drive);
        device.deleteFile();
        ASSERT_EQ (symlink (target.toRawUTF8(), device.getFullPathName().toRawUTF8()), 0);
    }

    ov::test::Sandbox sandbox;
    ov::WinePrefix prefix { sandbox.getRoot().getChildFile ("wine"), "me" };
};

TEST (WinePrefix, ADriveMustBeARealFolderOutsideTheKernelsOwnFileSystems)
{
    const WineDrives drives;
    const auto here = juce::File::getCurrentWorkingDirectory();
    const auto name = "ov-not-here-" + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64());
    const auto data = drives.sandbox.getRoot().getChildFile ("data");
    data.createDirectory();
    ASSERT_TRUE (drives.prefix.getDriveC().getChildFile ("file").replaceWithText ("x"));

    // Each of these led into the working folder, or into devices and the kernel's tables.
    const std::pair<juce::String, juce::String> unusable[] = {
        { "/proc", "D:\\self\\cwd\\" + name }, { "/proc/self/cwd", "D:\\" + name }, { "/proc/self/root/tmp", "D:\\" + name },
        { "/sys", "D:\\" + name }, { "/dev", "D:\\" + name }, { "/dev/fd/0", "D:\\" + name },
        { drives.prefix.getDriveC().getFullPathName() + "/file", "D:\\" + name },
    };

    for (const auto& [target, value] : unusable)
    {
        drives.link ("d:", target);
        EXPECT_EQ (drives.prefix.toFolder (value), juce::File()) << target;
        EXPECT_NE (drives.prefix.toWindowsPath (juce::File (target)).substring (0, 2), "D:") << target;
    }

    // A link inside a drive may not lead there either, nor may a path walk into /proc from a drive on "/".
    drives.link ("d:", data.getFullPathName());
    ASSERT_EQ (symlink ("/proc/self/cwd", data.getChildFile ("here").getFullPathName().toRawUTF8()), 0);
    drives.link ("z:", "/");

    for (const auto& value : { "D:\\here\\" + name, "Z:\\proc\\self\\cwd\\" + name, "Z:\\dev\\fd\\0\\" + name })
        EXPECT_EQ (drives.prefix.toFolder (value), juce::File()) << value;

    EXPECT_EQ (drives.prefix.toFolder ("D:\\" + name).getFullPathName(), data.getLinkedTarget().getChildFile (name).getFullPathName());
    EXPECT_FALSE (here.getChildFile (name).exists());
}

/** How often a folder is opened for listing, as inotify reports it (looking names up opens nothing). */
struct ListingCounter
{
    explicit ListingCounter (const juce::File& folder)
        : fd (inotify_init1 (IN_NONBLOCK | IN_CLOEXEC))
    {
        inotify_add_watch (fd, folder.getFullPathName().toRawUTF8(), IN_OPEN);
    }

    ~ListingCounter()   { close (fd); }

    int count() const
    {
        int events = 0;
        alignas (inotify_event) char buffer[65536];

        for (ssize_t got; (got = read (fd, buffer, sizeof (buffer))) > 0;)
            for (auto* p = buffer; p < buffer + got; p += sizeof (inotify_event) + reinterpret_cast<inotify_event*> (p)->len)
                ++events;

        return events;
    }

    int fd;
};

TEST (WinePrefix, AFolderIsListedOnceHoweverOftenAPathPassesThroughIt)
{
    const WineDrives drives;
    const auto big = drives.prefix.getDriveC().getChildFile ("big");
    big.createDirectory();

    for (int i = 0; i < 300; ++i)
        big.getChildFile ("entry" + juce::String (i)).replaceWithText ({});

    ASSERT_EQ (symlink (".", big.getChildFile ("self").getFullPathName().toRawUTF8()), 0);
    ASSERT_EQ (symlink (".", big.getChildFile ("Other").getFullPathName().toRawUTF8()), 0);

    // Each name is there only in another case: every step would list the folder again.
    const ListingCounter listings (big);
    const auto folder = drives.prefix.toFolder ("C:\\BIG" + juce::String::repeatedString ("\\SELF\\other", 15) + "\\VST3");
    EXPECT_EQ (folder.getFullPathName(), big.getFullPathName() + juce::String::repeatedString ("/self/Other", 15) + "/VST3");
    EXPECT_EQ (listings.count(), 1);

    // Past the links the system follows in one path, no folder can be made there: the value is unusable.
    EXPECT_EQ (drives.prefix.toFolder ("C:\\big" + juce::String::repeatedString ("\\self", 41) + "\\VST3"), juce::File());
    EXPECT_NE (drives.prefix.toFolder ("C:\\big" + juce::String::repeatedString ("\\self", 39) + "\\VST3"), juce::File());
}

/** Every input the fuzzer kept goes through the whole read step again. */
TEST (SettingsFuzzCorpus, ReplaysClean)
{
    const juce::File corpus (OV_TEST_FUZZ_DIR "/corpus/settings");
    const auto inputs = corpus.findChildFiles (juce::File::findFiles, false);
    ASSERT_GT (inputs.size(), 10);

    for (const auto& input : inputs)
    {
        juce::MemoryBlock bytes;
        ASSERT_TRUE (input.loadFileAsData (bytes));
        EXPECT_EQ (ov::fuzz::checkInput (static_cast<const uint8_t*> (bytes.getData()), bytes.getSize()), "")
            << input.getFileName();
    }
}

} // namespace
