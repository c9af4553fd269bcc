#include "install/BundleInstaller.h"
#include "product/ProductManifest.h"
#include "support/Sandbox.h"
#include "tests/install/BundleFixtures.h"
#include "ui/MainComponent.h"

#include "BinaryData.h"

#include <gtest/gtest.h>

namespace
{
    const char* const bundleNames[] = { "Tavrin3.vst3", "Tavrin3.clap", "Tavrin3.aaxplugin" };

    class PanelInstall : public ::testing::Test
    {
    protected:
        ov::test::Sandbox sandbox;
        std::shared_ptr<ov::test::SandboxHost> host = std::make_shared<ov::test::SandboxHost> (sandbox);
        std::unique_ptr<MainComponent> panel;

        MainComponent& makePanel()
        {
            panel = std::make_unique<MainComponent> (host);
            return *panel;
        }

        juce::File folderOf (int index) const
        {
            return sandbox.getCommonFiles().getChildFile (ov::product::formats[(size_t) index].defaultSubfolder);
        }

        juce::File bundleOf (int index) const
        {
            return folderOf (index).getChildFile (bundleNames[index]);
        }

        /** An old bundle of the format, with a file that no archive has. */
        void placeOldBundle (int index)
        {
            const auto bundle = bundleOf (index);

            if (index == 1)
            {
                bundle.getParentDirectory().createDirectory();
                bundle.replaceWithText ("old");
            }
            else
            {
                bundle.getChildFile ("Contents/old-only.txt").create();
            }
        }

        static juce::MemoryInputStream* openArchive (int index)
        {
            switch (index)
            {
                case 0:  return new juce::MemoryInputStream (BinaryData::vst3_zip, (size_t) BinaryData::vst3_zipSize, false);
                case 1:  return new juce::MemoryInputStream (BinaryData::clap_zip, (size_t) BinaryData::clap_zipSize, false);
                default: return new juce::MemoryInputStream (BinaryData::aax_zip, (size_t) BinaryData::aax_zipSize, false);
            }
        }

        /** The install folder holds exactly the embedded archive's entries, byte for byte, and nothing else. */
        void expectInstalledExactly (int index)
        {
            juce::ZipFile archive (openArchive (index), true);
            std::map<juce::String, std::string> expected;

            for (int i = 0; i < archive.getNumEntries(); ++i)
            {
                const auto name = archive.getEntry (i)->filename.replaceCharacter ('\\', '/');
                const auto parts = juce::StringArray::fromTokens (name.trimCharactersAtEnd ("/"), "/", {});

                for (int p = 1; p < parts.size(); ++p)
                    expected[parts.joinIntoString ("/", 0, p) + "/"] = {};

                if (name.endsWithChar ('/'))
                {
                    expected[name] = {};
                    continue;
                }

                const std::unique_ptr<juce::InputStream> entry (archive.createStreamForEntry (i));
                juce::MemoryBlock data;
                entry->readIntoMemoryBlock (data);
                EXPECT_EQ ((juce::int64) data.getSize(), archive.getEntry (i)->uncompressedSize) << name;
                expected[name] = data.getSize() == 0 ? std::string()
                                                     : std::string (static_cast<const char*> (data.getData()), data.getSize());
            }

            EXPECT_EQ (ov::test::snapshot (folderOf (index)), expected) << bundleNames[index];
        }

        void expectControlsHidden()
        {
            for (auto* child : panel->getChildren())
            {
                if (juce::StringArray { "VST3", "CLAP", "AAX", "SELECT_ALL", "INSTALL" }.contains (child->getName()))
                {
                    EXPECT_FALSE (child->isVisible()) << child->getName();
                }
            }
        }
    };
}

//==============================================================================
TEST_F (PanelInstall, InstallsEveryFormatIntoEmptyFoldersExactlyAsItsArchive)
{
    makePanel();

    for (auto* child : panel->getChildren())
        if (child->getName() == "SELECT_ALL")
            panel->buttonClicked (dynamic_cast<juce::Button*> (child));

    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE (panel->isFormatSelected (i));

    panel->installSelectedFormats();

    for (int i = 0; i < 3; ++i)
    {
        EXPECT_TRUE (panel->getLastOutcomes()[(size_t) i].succeeded) << panel->getLastOutcomes()[(size_t) i].reason;
        EXPECT_FALSE (panel->isFormatSelected (i));
        EXPECT_EQ (panel->probeFormatStatus (i).installState, ov::InstallState::installed);
        expectInstalledExactly (i);
    }

    EXPECT_TRUE (panel->isInstallFinished());
    expectControlsHidden();
}

TEST_F (PanelInstall, ReplacesAnExistingBundleWhole)
{
    placeOldBundle (0);
    makePanel();
    ASSERT_TRUE (panel->isFormatSelected (0));

    panel->installSelectedFormats();

    EXPECT_TRUE (panel->getLastOutcomes()[0].succeeded);
    EXPECT_FALSE (panel->getLastOutcomes()[1].processed);
    expectInstalledExactly (0);
    EXPECT_FALSE (folderOf (1).exists());
}

TEST_F (PanelInstall, ShiftUninstallRemovesTheSelectedBundlesAndKeepsTheRest)
{
    placeOldBundle (0);
    placeOldBundle (2);
    makePanel();
    placeOldBundle (1);   // after start-up, so not selected
    const auto clapBefore = ov::test::snapshot (folderOf (1));

    panel->modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::shiftModifier));
    panel->installSelectedFormats();

    for (int i : { 0, 2 })
    {
        EXPECT_TRUE (panel->getLastOutcomes()[(size_t) i].succeeded);
        EXPECT_TRUE (folderOf (i).isDirectory());
        EXPECT_EQ (ov::test::snapshot (folderOf (i)).size(), 0u);
    }

    EXPECT_EQ (ov::test::snapshot (folderOf (1)), clapBefore);
    EXPECT_TRUE (panel->isInstallFinished());
}

TEST_F (PanelInstall, NothingSelectedTouchesNoFileAndStillFinishes)
{
    makePanel();
    const auto before = ov::test::snapshot (sandbox.getRoot());

    panel->installSelectedFormats();

    EXPECT_EQ (ov::test::snapshot (sandbox.getRoot()), before);
    EXPECT_TRUE (panel->isInstallFinished());
    expectControlsHidden();

    for (const auto& outcome : panel->getLastOutcomes())
        EXPECT_FALSE (outcome.processed);
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
            const auto isOld = bundleOf (i).getChildFile ("Contents/old-only.txt").exists()
                                || (i == 1 && bundleOf (i).loadFileAsString() == "old");
            const auto leftovers = folderOf (i).findChildFiles (juce::File::findFilesAndDirectories, false).size() - 1;
            state << (isOld ? "old" : "new") << (leftovers > 0 ? "+" : "") << " ";
        }

        seen.add (module.getFileName() + ": " + state.trim());
        return juce::String ("3.1.10.0");
    };

    panel->installSelectedFormats();

    EXPECT_EQ (seen.joinIntoString (" | "), "Tavrin3.vst3: new+ old old | Tavrin3.clap: new new+ old | Tavrin3.aaxplugin: new new new+");
}

TEST_F (PanelInstall, AFormatThatDoesNotReadBackAsInstalledFailsAndKeepsItsOldBundle)
{
    placeOldBundle (0);
    placeOldBundle (1);
    const auto before = ov::test::snapshot (sandbox.getCommonFiles());
    makePanel();
    host->versionReader = [] (const juce::File&) { return juce::String ("3.1.9.0"); };

    panel->installSelectedFormats();

    for (int i : { 0, 1 })
    {
        EXPECT_FALSE (panel->getLastOutcomes()[(size_t) i].succeeded);
        EXPECT_EQ (panel->getLastOutcomes()[(size_t) i].reason, ov::failureReasons::notReadBack);
        EXPECT_FALSE (panel->isFormatSelected (i));
    }

    EXPECT_EQ (ov::test::snapshot (sandbox.getCommonFiles()), before);
    EXPECT_TRUE (panel->isInstallFinished());
}

TEST_F (PanelInstall, AFailingFormatDoesNotStopTheOthers)
{
    for (int i = 0; i < 3; ++i)
        placeOldBundle (i);

    makePanel();
    const auto clapBefore = ov::test::snapshot (folderOf (1));
    const ov::test::ScopedImmutable immutable (bundleOf (1));

    if (! immutable.isApplied())
        GTEST_SKIP() << "no chattr +i here";

    panel->installSelectedFormats();

    EXPECT_TRUE (panel->getLastOutcomes()[0].succeeded);
    EXPECT_FALSE (panel->getLastOutcomes()[1].succeeded);
    EXPECT_EQ (panel->getLastOutcomes()[1].reason, ov::failureReasons::oldBundleProtected);
    EXPECT_TRUE (panel->getLastOutcomes()[2].succeeded);
    EXPECT_EQ (ov::test::snapshot (folderOf (1)), clapBefore);
    expectInstalledExactly (0);
    expectInstalledExactly (2);
}

TEST_F (PanelInstall, StartUpPutsBackAPlugInThatAKilledRunHadSetAside)
{
    placeOldBundle (0);
    const auto before = ov::test::snapshot (folderOf (0));
    const ov::BundleSiblings names (bundleOf (0));
    ASSERT_TRUE (bundleOf (0).moveFileTo (names.setAside));
    names.staging.getChildFile ("Tavrin3.vst3/Plugin.ico").create();

    makePanel();

    EXPECT_TRUE (panel->isFormatSelected (0));
    EXPECT_EQ (ov::test::snapshot (folderOf (0)), before);
}

TEST_F (PanelInstall, ShiftAloneSwitchesTheModeAndTheOtherKeysOnlyRepaint)
{
    makePanel();
    using K = juce::ModifierKeys;

    panel->modifierKeysChanged (K (K::shiftModifier | K::leftButtonModifier));
    EXPECT_TRUE (panel->isUninstallMode());
    panel->modifierKeysChanged (K (K::shiftModifier | K::ctrlModifier | K::altModifier));
    EXPECT_TRUE (panel->isUninstallMode());
    panel->modifierKeysChanged (K (K::ctrlModifier | K::leftButtonModifier));
    EXPECT_FALSE (panel->isUninstallMode());
    panel->modifierKeysChanged (K (K::altModifier));
    EXPECT_FALSE (panel->isUninstallMode());

    panel->installSelectedFormats();
    panel->modifierKeysChanged (K (K::shiftModifier));
    EXPECT_TRUE (panel->isUninstallMode());
}
