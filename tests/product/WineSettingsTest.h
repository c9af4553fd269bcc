#pragma once

#include "product/SettingsFile.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

namespace ov::test
{

/** The settings step as it runs on Linux: through a Wine prefix made in the sandbox. */
struct WineSettingsTest : public ::testing::Test
{
    Sandbox sandbox;
    juce::File prefixFolder = sandbox.getRoot().getChildFile ("wine");
    SystemHost host { WinePrefix (prefixFolder, "me") };
    juce::File settingsFolder = host.getCommonAppDataFolder().getChildFile ("Orvella");
    InstallFolders defaults = SettingsFile::makeDefaultFolders (host.getCommonFilesBase());

    InstallFolders load()
    {
        auto folders = defaults;
        SettingsFile::loadOrCreate (settingsFolder, folders, host);
        return folders;
    }

    void writeSettings (const juce::String& attributes)
    {
        writeFile ("<Plugin_Manager_Settings " + attributes.toStdString() + "/>");
    }

    void writeFile (const std::string& bytes)
    {
        settingsFolder.createDirectory();
        ASSERT_TRUE (settingsFolder.getChildFile ("PluginManagerSettings.txt").replaceWithData (bytes.data(), bytes.size()));
    }
};

} // namespace ov::test
