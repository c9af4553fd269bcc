#include "install/BundleInstaller.h"
#include "tests/install/BundleFixtures.h"
#include "ui/PanelRig.h"

#include "BinaryData.h"

#include <gtest/gtest.h>

using ov::test::snapshot;

namespace
{
    class PanelInstall : public ov::test::PanelRig
    {
    protected:
        juce::File folderOf (int index) const     { return getBundle (index).getParentDirectory(); }

        /** A file that no archive has (for the single-file bundle, the bundle itself). */
        juce::File oldMarker (int index) const
        {
            return index == 1 ? getBundle (index) : getBundle (index).getChildFile ("Contents/old-only.txt");
        }

        void placeOldBundle (int index)           { ov::test::write (oldMarker (index), "old"); }
        bool isOld (int index) const              { return oldMarker (index).loadFileAsString() == "old"; }

        /** The install folder holds exactly the embedded archive's entries, byte for byte, and nothing else. */
        void expectInstalledExactly (int index) const
        {
            // Found through the format table's archive name, so the installer's own choice of archive is held to it.
            int size = 0;
            const char* data = nullptr;

            for (int i = 0; i < BinaryData::namedResourceListSize; ++i)
                if (juce::String (BinaryData::originalFilenames[i]) == ov::product::formats[(size_t) index].archive)
                    data = BinaryData::getNamedResource (BinaryData::namedResourceList[i], size);
            juce::MemoryInputStream stream (data, (size_t) size, false);
            juce::ZipFile archive (stream);
            ov::test::ZipMaker entries;

            for (int i = 0; i < archive.getNumEntries(); ++i)
            {
                juce::MemoryBlock bytes;

                if (const std::unique_ptr<juce::InputStream> entry { archive.createStreamForEntry (i) })
                    entry->readIntoMemoryBlock (bytes);

                entries.file (archive.getEntry (i)->filename.toStdString(), ov::test::toBytes (bytes));
            }

            EXPECT_GT (entries.getEntries().size(), 0u) << index;
            EXPECT_EQ (snapshot (folderOf (index)), ov::test::expectedTree (entries)) << index;
        }

        const ov::FormatOutcome& outcome (int index) const    { return panel->getLastOutcomes()[(size_t) index]; }
    };
}

//==============================================================================
TEST_F (PanelInstall, InstallsTheSelectedFormatsExactlyAsTheirArchivesAndOnlyThose)
{
    placeOldBundle (0);
    makePanel();
    click ("CLAP");

    panel->installSelectedFormats();

    for (int i : { 0, 1 })
    {
        EXPECT_TRUE (outcome (i).succeeded) << outcome (i).reason;
        EXPECT_FALSE (panel->isFormatSelected (i));
        EXPECT_EQ (panel->probeFormatStatus (i).installState, ov::InstallState::installed);
        expectInstalledExactly (i);
    }

    EXPECT_FALSE (outcome (2).processed);
    EXPECT_FALSE (folderOf (2).exists());
    EXPECT_TRUE (panel->isInstallFinished());
}

TEST_F (PanelInstall, ShiftUninstallRemovesTheSelectedBundlesAndKeepsTheRest)
{
    placeOldBundle (0);
    placeOldBundle (2);
    makePanel();
    placeOldBundle (1);   // after start-up, so not selected
    const auto clapBefore = snapshot (folderOf (1));

    panel->modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::shiftModifier));
    panel->installSelectedFormats();

    for (int i : { 0, 2 })
    {
        EXPECT_TRUE (outcome (i).succeeded);
        EXPECT_TRUE (folderOf (i).isDirectory());
        EXPECT_EQ (snapshot (folderOf (i)).size(), 0u);
    }

    EXPECT_EQ (snapshot (folderOf (1)), clapBefore);
    EXPECT_TRUE (panel->isInstallFinished());
}

TEST_F (PanelInstall, NothingSelectedTouchesNoFileAndStillFinishes)
{
    makePanel();
    const auto before = snapshot (sandbox.getRoot());

    panel->installSelectedFormats();

    EXPECT_EQ (snapshot (sandbox.getRoot()), before);
    EXPECT_TRUE (panel->isInstallFinished());

    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE (outcome (i).processed);

    for (const auto* name : { "VST3", "CLAP", "AAX", "SELECT_ALL", "INSTALL" })
        EXPECT_FALSE (control (name).isVisible()) << name;
}

TEST_F (PanelInstall, FormatsAreDoneInOrderEachCompletelyBeforeTheNext)
{
    for (int i = 0; i < 3; ++i)
        placeOldBundle (i);

    makePanel();
    juce::StringArray seen;

    // The read-back after each swap comes through here: note which bundles are new at that moment.
    host->versionReader = [this, &seen] (const juce::File& module)
    {
        juce::String state;

        for (int i = 0; i < 3; ++i)
        {
            const auto leftovers = folderOf (i).findChildFiles (juce::File::findFilesAndDirectories, false).size() - 1;
            state << (isOld (i) ? "old" : "new") << (leftovers > 0 ? "+" : "") << " ";
        }

        seen.add (module.getFileName() + ": " + state.trim());
        return juce::String ("3.1.10.0");
    };

    panel->installSelectedFormats();

    // Then the finished display's report reads each new version once more.
    EXPECT_EQ (seen.joinIntoString (" | ", 0, 3), "Tavrin3.vst3: new+ old old | Tavrin3.clap: new new+ old | Tavrin3.aaxplugin: new new new+");

    for (int i = 0; i < 3; ++i)
        expectInstalledExactly (i);
}

TEST_F (PanelInstall, AFormatThatDoesNotReadBackAsInstalledFailsAndKeepsItsOldBundle)
{
    placeOldBundle (0);
    placeOldBundle (1);
    const auto before = snapshot (sandbox.getCommonFiles());
    makePanel();
    host->versionReader = [] (const juce::File&) { return juce::String ("3.1.9.0"); };

    panel->installSelectedFormats();

    for (int i : { 0, 1 })
    {
        EXPECT_FALSE (outcome (i).succeeded);
        EXPECT_EQ (outcome (i).reason, ov::failureReasons::notReadBack);
        EXPECT_FALSE (panel->isFormatSelected (i));
    }

    EXPECT_EQ (snapshot (sandbox.getCommonFiles()), before);
    EXPECT_TRUE (panel->isInstallFinished());
}

TEST_F (PanelInstall, AFailingFormatDoesNotStopTheOthers)
{
    for (int i = 0; i < 3; ++i)
        placeOldBundle (i);

    makePanel();
    const auto clapBefore = snapshot (folderOf (1));
    const ov::test::ScopedImmutable immutable (getBundle (1));

    if (! immutable.isApplied())
        GTEST_SKIP() << "no chattr +i here";

    panel->installSelectedFormats();

    EXPECT_EQ (outcome (1).reason, ov::failureReasons::oldBundleProtected);
    EXPECT_FALSE (outcome (1).succeeded);
    EXPECT_EQ (snapshot (folderOf (1)), clapBefore);

    for (int i : { 0, 2 })
    {
        EXPECT_TRUE (outcome (i).succeeded) << i;
        expectInstalledExactly (i);
    }
}

TEST_F (PanelInstall, StartUpPutsBackAPlugInThatAKilledRunHadSetAside)
{
    placeOldBundle (0);
    const auto before = snapshot (folderOf (0));
    const ov::BundleSiblings names (getBundle (0));
    ASSERT_TRUE (getBundle (0).moveFileTo (names.setAside));
    names.staging.getChildFile ("Tavrin3.vst3/Plugin.ico").create();

    makePanel();

    EXPECT_TRUE (panel->isFormatSelected (0));
    EXPECT_EQ (snapshot (folderOf (0)), before);
}

TEST_F (PanelInstall, ShiftAloneSwitchesTheModeWithOrWithoutMouseButtonsAndAfterInstalling)
{
    using K = juce::ModifierKeys;
    makePanel();

    for (const auto& [flags, uninstall] : { std::pair { K::shiftModifier | K::leftButtonModifier, true },
                                            std::pair { K::shiftModifier | K::ctrlModifier | K::altModifier, true },
                                            std::pair { K::ctrlModifier | K::leftButtonModifier, false } })
    {
        panel->modifierKeysChanged (K (flags));
        EXPECT_EQ (panel->isUninstallMode(), uninstall) << flags;
    }

    panel->installSelectedFormats();
    panel->modifierKeysChanged (K (K::shiftModifier));
    EXPECT_TRUE (panel->isUninstallMode());
}
