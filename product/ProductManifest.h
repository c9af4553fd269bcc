#pragma once

#include <juce_core/juce_core.h>

#include <array>

namespace ov::product
{

/** The one product this installer carries, and the maker's fixed values. */
inline constexpr const char* productIdentifier = "Tavrin3";
inline constexpr const char* pluginVersion     = "3.1.10";
inline constexpr const char* platformSuffix    = " for Windows";
inline constexpr const char* makerFolderName   = "Orvella";
inline constexpr const char* settingsFileName  = "PluginManagerSettings.txt";

inline constexpr const char* applicationName    = "ov_installer";
inline constexpr const char* applicationVersion = "1.1.0";

inline constexpr const char* productPageAddress   = "https://orvella.example/products/tavrin3";
inline constexpr const char* manualAddress        = "https://orvella.example/manuals/Tavrin3_Manual.pdf";
inline constexpr const char* communityInvite      = "https://discord.orvella.example/invite/orvella";
inline constexpr const char* supportEmailAddress  = "support@orvella.example";
inline constexpr const char* makerNotice          = "Copyright (c) 2026 Orvella, Inc. All rights reserved.";

inline constexpr int numFormats = 3;

/** Format index: 0 = VST3, 1 = CLAP, 2 = AAX. */
struct FormatInfo
{
    const char* settingsKey;
    const char* defaultSubfolder;   // below the common-files base
    const char* moduleFolder;       // inside the bundle; empty when the bundle is the module itself
};

inline constexpr std::array<FormatInfo, numFormats> formats {{
    { "VST3_Path", "VST3",                "Contents/x86_64-win/" },
    { "CLAP_Path", "CLAP",                "" },
    { "AAX_Path",  "Avid/Audio/Plug-Ins", "Contents/x64/" }
}};

const juce::StringArray& extraNames();
const juce::StringArray& formatNames();
const juce::StringArray& formatExtensions();

/** The end-user licence agreement, plain ASCII with line feeds. */
extern const char* const eulaText;

/** The display name: the identifier with its first "_" turned into a blank. */
juce::String makeProductName (const juce::String& identifier);

} // namespace ov::product
