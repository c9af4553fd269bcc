#include "ui/MainComponent.h"
#include "product/ProductManifest.h"
#include "ui/panel_eula.h"
#include "ui/panel_support.h"

#include <utility>

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
        showOverlay (*eulaPanel, *button);
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
        supportPanel->settingsFolder = settingsFolder.getFullPathName();
        supportPanel->productName = productName;
        supportPanel->productVersion = productVersion;
        supportPanel->host = host;

        if (installFinished)
            supportPanel->lastRunReport = lastReport.asText();

        showOverlay (*supportPanel, *button);
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

//==============================================================================
void MainComponent::showOverlay (juce::Component& overlay, juce::Button& opener)
{
    addAndMakeVisible (overlay);
    layOutOverlays();
    overlayOpener = &opener;

    // It tells the panel when it takes itself off.
    overlay.addComponentListener (this);
    followOverlays();
}

juce::Component* MainComponent::findShownOverlay() const
{
    // The one added last is in front.
    for (auto i = getNumChildComponents(); --i >= 0;)
        if (auto* child = getChildComponent (i); child == eulaPanel.get() || child == supportPanel.get())
            return child;

    return nullptr;
}

void MainComponent::followOverlays()
{
    auto* shown = findShownOverlay();
    auto* window = getTopLevelComponent();

    // Only while the window has the keyboard: taking it otherwise would pull the window to the front. And
    // before the controls are disabled, since a disabled control lets go of the keyboard.
    if (shown != nullptr && ! shown->hasKeyboardFocus (true) && window->hasKeyboardFocus (true))
        shown->grabKeyboardFocus();

    // Covered controls take neither keys nor clicks, not even those already on their way.
    for (auto* child : getChildren())
        if (auto* control = dynamic_cast<juce::Button*> (child))
            control->setEnabled (shown == nullptr);

    // An overlay that closes with the keyboard leaves it to the window: it goes back where the overlay came from.
    if (shown == nullptr && overlayOpener != nullptr && window != this && window->hasKeyboardFocus (false))
        std::exchange (overlayOpener, nullptr)->grabKeyboardFocus();
}

void MainComponent::componentParentHierarchyChanged (juce::Component&)
{
    followOverlays();
}

// A window given the keyboard back hands it to the control that last had it, covered or not.
void MainComponent::focusOfChildComponentChanged (FocusChangeType)
{
    followOverlays();
}

juce::String MainComponent::getHelpText() const
{
    return helpLabel != nullptr ? helpLabel->getText() : juce::String();
}
