#include "support/Sandbox.h"
#include "tests/install/BundleFixtures.h"
#include "ui/MainComponent.h"

#include <gtest/gtest.h>

using ov::test::write;

namespace
{
    /** A sandbox whose modules state their version in their first line. */
    class FormatProbe : public ::testing::Test
    {
    protected:
        FormatProbe()
        {
            host->versionReader = [] (const juce::File& module)
            {
                return module.existsAsFile() ? juce::StringArray::fromLines (module.loadFileAsString())[0] : juce::String();
            };
        }

        ov::test::Sandbox sandbox;
        std::shared_ptr<ov::test::SandboxHost> host = std::make_shared<ov::test::SandboxHost> (sandbox);
        juce::File vst3 = sandbox.getCommonFiles().getChildFile ("VST3/Tavrin3.vst3");
        juce::File clap = sandbox.getCommonFiles().getChildFile ("CLAP/Tavrin3.clap");
        juce::File aax = sandbox.getCommonFiles().getChildFile ("Avid/Audio/Plug-Ins/Tavrin3.aaxplugin");
    };
}

TEST_F (FormatProbe, ComparesTheInstalledVersionOnTheLeftByNaturalOrderAtEveryCall)
{
    const auto module = vst3.getChildFile ("Contents/x86_64-win/Tavrin3.vst3");
    write (module, "3.1.9.0");
    const MainComponent panel (host);

    const std::pair<const char*, ov::InstallState> table[] {
        { "3.1.10.0", ov::InstallState::installed },   { "3.1.11.0", ov::InstallState::installed },
        { "3.2.0.0", ov::InstallState::installed },    { "10.0.0.0", ov::InstallState::installed },
        { "3.1.9.0", ov::InstallState::needsUpdate },  { "3.1.1.0", ov::InstallState::needsUpdate },
        { "3.0.99.0", ov::InstallState::needsUpdate }, { "0.0.0.0", ov::InstallState::needsUpdate },
    };

    for (const auto& [version, state] : table)
    {
        write (module, version);
        const auto status = panel.probeFormatStatus (0);

        EXPECT_TRUE (status.bundleExists);
        EXPECT_EQ (status.installedVersion, version);
        EXPECT_EQ (status.installState, state) << version;
        EXPECT_EQ (status.needsUpdate, state == ov::InstallState::needsUpdate) << version;
        EXPECT_EQ (status.statusText, juce::String ("v") + version + (state == ov::InstallState::installed ? " INSTALLED" : " NEEDS UPDATE"));
    }

    EXPECT_EQ (panel.probeFormatStatus (1).statusText, "NOT INSTALLED");
    EXPECT_EQ (panel.probeFormatStatus (1).installState, ov::InstallState::notInstalled);

    // Deleted while the program runs: the next look shows it, and the selection stays.
    vst3.deleteRecursively();
    const auto gone = panel.probeFormatStatus (0);
    EXPECT_FALSE (gone.bundleExists);
    EXPECT_TRUE (gone.installedVersion.isEmpty());
    EXPECT_EQ (gone.statusText, "NOT INSTALLED");
    EXPECT_TRUE (panel.isFormatSelected (0));
}

TEST_F (FormatProbe, ABundleWithoutAReadableModuleIsInstalledWithoutAVersion)
{
    vst3.createDirectory();                                                   // folder without its module
    clap.createDirectory();                                                   // a folder where the file belongs
    write (aax.getChildFile ("Contents/x86_64-win/Tavrin3.aaxplugin"), "3.1.9.0");   // module under the wrong folder
    const MainComponent panel (host);

    for (int i = 0; i < 3; ++i)
    {
        const auto status = panel.probeFormatStatus (i);

        EXPECT_TRUE (status.bundleExists) << i;
        EXPECT_TRUE (status.installedVersion.isEmpty()) << i;
        EXPECT_EQ (status.installState, ov::InstallState::installed) << i;
        EXPECT_EQ (status.statusText, "INSTALLED") << i;
        EXPECT_TRUE (panel.isFormatSelected (i)) << i;
    }

    write (aax.getChildFile ("Contents/x64/Tavrin3.aaxplugin"), "3.1.9.0");
    EXPECT_EQ (panel.probeFormatStatus (2).statusText, "v3.1.9.0 NEEDS UPDATE");
}

TEST_F (FormatProbe, ReadsARealModulesVersionResource)
{
    host->versionReader = nullptr;
    const auto fixtures = juce::File (__FILE__).getParentDirectory().getSiblingFile ("fixtures/pe");
    const auto module = vst3.getChildFile ("Contents/x86_64-win/Tavrin3.vst3");
    ASSERT_TRUE (module.getParentDirectory().createDirectory() && clap.getParentDirectory().createDirectory());
    ASSERT_TRUE (fixtures.getChildFile ("v3.1.9.0-x64.dll").copyFileTo (module));
    ASSERT_TRUE (fixtures.getChildFile ("v3.1.10.0-x64.dll").copyFileTo (clap));
    const MainComponent panel (host);

    EXPECT_EQ (panel.probeFormatStatus (0).statusText, "v3.1.9.0 NEEDS UPDATE");
    EXPECT_EQ (panel.probeFormatStatus (1).statusText, "v3.1.10.0 INSTALLED");
}
