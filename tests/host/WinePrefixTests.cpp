#include "host/Host.h"
#include "host/WinePrefix.h"
#include "support/Sandbox.h"
#include "tests/fuzz/FuzzTarget.h"

#include <gtest/gtest.h>

#include <pwd.h>
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
