#include "ui/MainComponent.h"
#include "product/ProductManifest.h"
#include "ui/panel_eula.h"
#include "ui/panel_support.h"

std::optional<juce::String> MainComponent::findHoverHelp (const juce::String& buttonName) const
{
    if (buttonName == "EULA")       return juce::String ("Click to read End-User License Agreement");
    if (buttonName == "MANUAL")     return juce::String ("Click to open product manual in your web browser");
    if (buttonName == "WEBSITE")    return juce::String ("Click to open product page on the Orvella website");
    if (buttonName == "SUPPORT")    return juce::String ("Email and Discord support");

    for (int i = 0; i < (int) formatButtons.size(); ++i)
        if (buttonName == ov::product::formatNames()[i])
            return getFormatHelp (i);

    if (buttonName == "INSTALL")
        return juce::String ("Click to install selected. ") + "Shift-click to uninstall selected";

    return std::nullopt;
}

juce::String MainComponent::getFormatHelp (int index) const
{
    const auto& name = ov::product::formatNames()[index];

    // Existence only: an up-to-date bundle is still offered as an update.
    if (getBundleFile (index).exists())
        return "Select to update " + name + " to " + productVersion;

    return "Select to install " + name;
}

void MainComponent::buttonStateChanged (juce::Button* button)
{
    // The button's own state is what the framework repaints on, so hover help and face agree.
    if (! button->isOver())
    {
        helpLabel->setText ({}, juce::dontSendNotification);
        return;
    }

    if (const auto help = findHoverHelp (button->getName()))
        helpLabel->setText (*help, juce::dontSendNotification);
}

void MainComponent::buttonClicked (juce::Button* button)
{
    runStartupWork();

    const auto name = button->getName();
    const auto formatIndex = ov::product::formatNames().indexOf (name);

    if (name == "EULA")
    {
        eulaPanel = std::make_unique<panel_eula> (ov::product::eulaText);
        addAndMakeVisible (*eulaPanel);
        layOutOverlays();
    }
    else if (name == "WEBSITE")
    {
        host->openUrl (productPageUrl);
    }
    else if (name == "MANUAL")
    {
        host->openUrl (manualUrl);
    }
    else if (name == "SUPPORT")
    {
        supportPanel = std::make_unique<panel_support>();
        addAndMakeVisible (*supportPanel);
        supportPanel->settingsFolder = settingsFolder.getFullPathName();
        supportPanel->productName = productName;
        supportPanel->productVersion = productVersion;
        supportPanel->host = host;

        if (installFinished)
            supportPanel->lastRunReport = lastReport.asText();

        layOutOverlays();
    }
    else if (juce::isPositiveAndBelow (formatIndex, (int) formatButtons.size()))
    {
        formatSelected[(size_t) formatIndex] = ! formatSelected[(size_t) formatIndex];
        repaint();
    }
    else if (name == "INSTALL")
    {
        // The key as it is at the click decides, whatever the panel last saw of it.
        followShiftKey();
        installSelectedFormats();
    }
    else if (name == "SELECT_ALL")
    {
        formatSelected.fill (true);
        repaint();
    }
}

juce::String MainComponent::getHelpText() const
{
    return helpLabel != nullptr ? helpLabel->getText() : juce::String();
}
