#include "ui/MainComponent.h"
#include "product/ProductManifest.h"
#include "ui/Palette.h"
#include "ui/panel_eula.h"
#include "ui/panel_support.h"

#include "BinaryData.h"

MainComponent::MainComponent()
    : MainComponent (std::make_shared<ov::SystemHost>())
{
}

MainComponent::MainComponent (std::shared_ptr<const ov::Host> hostToUse)
    : host (std::move (hostToUse))
{
    juce::Desktop::getInstance().setDefaultLookAndFeel (&customLookAndFeel);

    platformSuffix = ov::product::platformSuffix;
    installFolders = ov::SettingsFile::makeDefaultFolders (host->getCommonFilesBase());
    productName = ov::product::makeProductName (ov::product::productIdentifier);
    productVersion = ov::product::pluginVersion;
    productPageUrl = juce::URL (ov::product::productPageAddress);
    manualUrl = juce::URL (ov::product::manualAddress);

    const auto commonAppData = host->getCommonAppDataFolder();

    // Without the machine-wide folder there is nowhere safe to keep the settings: the defaults stay.
    if (commonAppData != juce::File())
    {
        settingsFolder = commonAppData.getChildFile (ov::product::makerFolderName);
        ov::SettingsFile::loadOrCreate (settingsFolder, installFolders);
    }

    for (size_t i = 0; i < formatSelected.size(); ++i)
        formatSelected[i] = findBundleAfterRecovery ((int) i);

    setSize (600, 600);
}

MainComponent::~MainComponent()
{
    const auto script = host->getTempFolder().getChildFile ("script.sh");

    if (script.existsAsFile())
        script.deleteFile();
}

void MainComponent::paint (juce::Graphics& g)
{
    g.fillAll (ov::palette::backgroundColour);
}

void MainComponent::resized()
{
    layoutUnit = (float) getWidth() * 0.01f;
}

void MainComponent::buttonClicked (juce::Button*) {}
void MainComponent::buttonStateChanged (juce::Button*) {}

juce::String MainComponent::getHelpText() const
{
    return helpLabel != nullptr ? helpLabel->getText() : juce::String();
}
