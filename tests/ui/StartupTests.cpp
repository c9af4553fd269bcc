#include "ui/PanelRig.h"

namespace
{

using PanelStartup = ov::test::PanelRig;

TEST_F (PanelStartup, WritesAMissingSettingsFileAfterTheFirstFrameAndBeforeAnyCommand)
{
    makePanel();
    // The first frame does not wait for the disk.
    EXPECT_FALSE (sandbox.getSettingsFile().exists());
    EXPECT_EQ (panel->getInstallFolders()[0], sandbox.getCommonFiles().getChildFile ("VST3"));

    paint();
    click ("CLAP");

    EXPECT_TRUE (sandbox.getSettingsFile().existsAsFile());
    EXPECT_TRUE (sandbox.getSettingsFile().loadFileAsString().contains ("VST3_Path"));
    EXPECT_TRUE (panel->isFormatSelected (1));

    // Done once: a file changed afterwards is not read again.
    sandbox.getSettingsFile().replaceWithText ("<Plugin_Manager_Settings VST3_Path=\"C:/Elsewhere\"/>");
    click ("SELECT_ALL");
    EXPECT_EQ (panel->getInstallFolders()[0], sandbox.getCommonFiles().getChildFile ("VST3"));
}

TEST_F (PanelStartup, ReadsTheFileAnotherInstallerWroteBeforeItsOwnWasDue)
{
    makePanel();
    EXPECT_FALSE (panel->isFormatSelected (0));

    // Another installer of the maker writes the file and puts the plug-in in the folder it names.
    const auto elsewhere = sandbox.getRoot().getChildFile ("drive/Plugins/VST3");
    sandbox.getMakerFolder().createDirectory();
    sandbox.getSettingsFile().replaceWithText ("<Plugin_Manager_Settings VST3_Path=\"" + elsewhere.getFullPathName() + "\"/>");
    const auto before = sandbox.getSettingsFile().loadFileAsString();
    elsewhere.getChildFile ("Tavrin3.vst3/Contents/x86_64-win").createDirectory();

    paint();
    click ("CLAP");

    EXPECT_EQ (panel->getInstallFolders()[0], elsewhere);
    EXPECT_TRUE (panel->isFormatSelected (0));
    EXPECT_EQ (sandbox.getSettingsFile().loadFileAsString(), before);
}

} // namespace
