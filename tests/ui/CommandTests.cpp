#include "ui/PanelRig.h"
#include "ui/panel_eula.h"
#include "ui/panel_support.h"

namespace
{

class MainComponentHelp : public ov::test::PanelRig
{
protected:
    juce::String hover (const juce::String& name)
    {
        control (name).setState (juce::Button::buttonOver);
        return panel->getHelpText();
    }

    void leave (const juce::String& name)
    {
        control (name).setState (juce::Button::buttonNormal);
    }
};

TEST_F (MainComponentHelp, EachControlExplainsItself)
{
    makePanel();

    EXPECT_EQ (hover ("EULA"), "Click to read End-User License Agreement");
    EXPECT_EQ (hover ("MANUAL"), "Click to open product manual in your web browser");
    EXPECT_EQ (hover ("WEBSITE"), "Click to open product page on the Orvella website");
    EXPECT_EQ (hover ("SUPPORT"), "Email and Discord support");
    EXPECT_EQ (hover ("VST3"), "Select to install VST3");
    EXPECT_EQ (hover ("AAX"), "Select to install AAX");
    EXPECT_EQ (hover ("INSTALL"), "Click to install selected. Shift-click to uninstall selected");
}

TEST_F (MainComponentHelp, FormatHelpLooksAtExistenceOnly)
{
    makePanel();
    EXPECT_EQ (hover ("CLAP"), "Select to install CLAP");
    leave ("CLAP");

    // Present in the current version (or with no version at all), it is still offered as an update.
    makeBundle (1, "3.1.10.0");
    EXPECT_EQ (hover ("CLAP"), "Select to update CLAP to 3.1.10");
    leave ("CLAP");

    makeBundle (1);
    EXPECT_EQ (hover ("CLAP"), "Select to update CLAP to 3.1.10");
}

TEST_F (MainComponentHelp, VersionUntilTheFirstHoverThenEmptyAfterLeaving)
{
    makePanel();
    EXPECT_EQ (panel->getHelpText(), "1.1.0");

    hover ("MANUAL");
    control ("MANUAL").setState (juce::Button::buttonDown);
    EXPECT_EQ (panel->getHelpText(), "Click to open product manual in your web browser");

    leave ("MANUAL");
    EXPECT_EQ (panel->getHelpText(), "");
}

TEST_F (MainComponentHelp, SelectAllLeavesTheLineAlone)
{
    makePanel();
    EXPECT_EQ (hover ("SELECT_ALL"), "1.1.0");

    hover ("EULA");
    leave ("EULA");
    EXPECT_EQ (hover ("SELECT_ALL"), "");

    hover ("VST3");
    control ("SELECT_ALL").setState (juce::Button::buttonDown);
    EXPECT_EQ (panel->getHelpText(), "Select to install VST3");
}

//==============================================================================
class MainComponentCommands : public ov::test::PanelRig
{
protected:
    void click (const juce::String& name)     { panel->buttonClicked (&control (name)); }

    template <typename Overlay>
    int countChildren() const
    {
        int count = 0;

        for (auto* child : panel->getChildren())
            count += dynamic_cast<Overlay*> (child) != nullptr ? 1 : 0;

        return count;
    }
};

TEST_F (MainComponentCommands, FormatClicksInvertOneFlag)
{
    makeBundle (2);
    makePanel();

    click ("VST3");
    EXPECT_TRUE (panel->isFormatSelected (0));
    EXPECT_FALSE (panel->isFormatSelected (1));
    EXPECT_TRUE (panel->isFormatSelected (2));

    click ("VST3");
    EXPECT_FALSE (panel->isFormatSelected (0));

    click ("AAX");
    EXPECT_FALSE (panel->isFormatSelected (2));
    EXPECT_FALSE (panel->isFormatSelected (1));
}

TEST_F (MainComponentCommands, SelectAllNeverClears)
{
    makePanel();
    click ("CLAP");

    for (int round = 0; round < 2; ++round)
    {
        click ("SELECT_ALL");

        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE (panel->isFormatSelected (i)) << i;
    }
}

TEST_F (MainComponentCommands, LinksGoToTheBrowser)
{
    makePanel();
    click ("MANUAL");
    click ("WEBSITE");

    EXPECT_EQ (*host->openedUrls, juce::StringArray ({ ov::product::manualAddress, ov::product::productPageAddress }));
}

TEST_F (MainComponentCommands, InstallHidesExactlyTheFiveInstallControls)
{
    makePanel();
    click ("CLAP");
    click ("INSTALL");

    EXPECT_TRUE (panel->isInstallFinished());
    EXPECT_TRUE (getBundle (1).existsAsFile());

    for (const auto* name : { "VST3", "CLAP", "AAX", "SELECT_ALL", "INSTALL" })
        EXPECT_FALSE (control (name).isVisible()) << name;

    for (const auto* name : { "EULA", "MANUAL", "WEBSITE", "SUPPORT" })
        EXPECT_TRUE (control (name).isVisible()) << name;

    // The extras keep working, help included.
    control ("WEBSITE").setState (juce::Button::buttonOver);
    EXPECT_EQ (panel->getHelpText(), "Click to open product page on the Orvella website");
    click ("WEBSITE");
    EXPECT_EQ (host->openedUrls->size(), 1);
    click ("SUPPORT");
    EXPECT_EQ (countChildren<panel_support>(), 1);
}

TEST_F (MainComponentCommands, ShiftSwitchesTheModeAndOtherModifiersDoNot)
{
    makePanel();

    panel->modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::ctrlModifier));
    EXPECT_FALSE (panel->isUninstallMode());
    panel->modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::ctrlModifier | juce::ModifierKeys::altModifier));
    EXPECT_FALSE (panel->isUninstallMode());

    panel->modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::shiftModifier | juce::ModifierKeys::altModifier));
    EXPECT_TRUE (panel->isUninstallMode());
    panel->modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::shiftModifier));
    EXPECT_TRUE (panel->isUninstallMode());
    panel->modifierKeysChanged (juce::ModifierKeys());
    EXPECT_FALSE (panel->isUninstallMode());
}

TEST_F (MainComponentCommands, OverlaysCoverThePanelAndFollowItsSize)
{
    makePanel();
    click ("EULA");
    click ("SUPPORT");

    auto* eula = panel->getChildComponent (panel->getNumChildComponents() - 2);
    auto* support = panel->getChildComponent (panel->getNumChildComponents() - 1);
    ASSERT_NE (dynamic_cast<panel_eula*> (eula), nullptr);
    ASSERT_NE (dynamic_cast<panel_support*> (support), nullptr);

    for (auto* overlay : { eula, support })
    {
        EXPECT_EQ (overlay->getBounds(), panel->getLocalBounds());
        EXPECT_TRUE (overlay->isAlwaysOnTop());
        EXPECT_TRUE (overlay->isVisible());
    }

    auto& supportPanel = dynamic_cast<panel_support&> (*support);
    EXPECT_FLOAT_EQ (supportPanel.layoutUnit, 6.0f);
    EXPECT_EQ (supportPanel.settingsFolder, sandbox.getMakerFolder().getFullPathName());
    EXPECT_EQ (supportPanel.productName, "Tavrin3");
    EXPECT_EQ (supportPanel.productVersion, "3.1.10");
    EXPECT_EQ (supportPanel.host, host);

    panel->setSize (800, 800);
    EXPECT_FLOAT_EQ (dynamic_cast<panel_eula&> (*eula).layoutUnit, 8.0f);
    EXPECT_FLOAT_EQ (supportPanel.layoutUnit, 8.0f);
    EXPECT_EQ (eula->getBounds(), juce::Rectangle<int> (0, 0, 800, 800));
    EXPECT_EQ (support->getBounds(), juce::Rectangle<int> (0, 0, 800, 800));
}

TEST_F (MainComponentCommands, ReopeningReplacesTheOverlay)
{
    makePanel();
    click ("EULA");
    click ("EULA");
    EXPECT_EQ (countChildren<panel_eula>(), 1);

    // Closed first, it is still replaced by a fresh one.
    auto* first = panel->getChildComponent (panel->getNumChildComponents() - 1);
    panel->removeChildComponent (first);
    EXPECT_EQ (countChildren<panel_eula>(), 0);
    click ("EULA");
    EXPECT_EQ (countChildren<panel_eula>(), 1);

    // A closed overlay still follows the panel's size.
    panel->setSize (700, 700);
    EXPECT_EQ (panel->getChildComponent (panel->getNumChildComponents() - 1)->getWidth(), 700);
}

//==============================================================================
TEST_F (MainComponentCommands, DestructionRemovesALeftoverScriptFile)
{
    sandbox.getTemp().createDirectory();
    const auto script = sandbox.getTemp().getChildFile ("script.sh");
    script.replaceWithText ("#!/bin/sh\n");
    const auto neighbour = sandbox.getTemp().getChildFile ("script.sh.keep");
    neighbour.replaceWithText ("keep");

    makePanel();
    panel.reset();

    EXPECT_FALSE (script.exists());
    EXPECT_TRUE (neighbour.existsAsFile());
}

TEST_F (MainComponentCommands, DestructionLeavesAFolderOfThatName)
{
    const auto script = sandbox.getTemp().getChildFile ("script.sh");
    script.getChildFile ("inside").create();

    makePanel();
    panel.reset();

    EXPECT_TRUE (script.isDirectory());
    EXPECT_TRUE (script.getChildFile ("inside").existsAsFile());
}

//==============================================================================
class MainComponentAccessibility : public MainComponentHelp
{
protected:
    std::unique_ptr<juce::AccessibilityHandler> handlerOf (const juce::String& name)
    {
        return static_cast<juce::Component&> (control (name)).createAccessibilityHandler();
    }
};

TEST_F (MainComponentAccessibility, ControlsCarryCaptionsAndHelp)
{
    makePanel();

    const std::pair<const char*, const char*> expected[] = {
        { "EULA", "EULA" }, { "MANUAL", "MANUAL" }, { "WEBSITE", "WEBSITE" }, { "SUPPORT", "SUPPORT" },
        { "VST3", "VST3" }, { "CLAP", "CLAP" }, { "AAX", "AAX" }, { "INSTALL", "INSTALL" }, { "SELECT_ALL", "SELECT ALL" }
    };

    for (const auto& [name, title] : expected)
    {
        const auto handler = handlerOf (name);
        EXPECT_EQ (handler->getTitle(), title);

        if (juce::String (name) != "SELECT_ALL")
        {
            EXPECT_EQ (handler->getDescription(), hover (name)) << name;
        }

        leave (name);
    }

    EXPECT_TRUE (handlerOf ("SELECT_ALL")->getDescription().isEmpty());
}

TEST_F (MainComponentAccessibility, InstallTitleFollowsShift)
{
    makePanel();
    const auto handler = handlerOf ("INSTALL");

    panel->modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::shiftModifier));
    EXPECT_EQ (handler->getTitle(), "UNINSTALL");
    panel->modifierKeysChanged (juce::ModifierKeys());
    EXPECT_EQ (handler->getTitle(), "INSTALL");
}

TEST_F (MainComponentAccessibility, FormatRowsReportStateAndSelection)
{
    makeBundle (0, "3.1.9.0");
    makePanel();

    const auto vst3 = handlerOf ("VST3");
    const auto clap = handlerOf ("CLAP");

    EXPECT_EQ (vst3->getRole(), juce::AccessibilityRole::toggleButton);
    ASSERT_NE (vst3->getValueInterface(), nullptr);
    EXPECT_EQ (vst3->getValueInterface()->getCurrentValueAsString(), "v3.1.9.0 NEEDS UPDATE");
    EXPECT_EQ (clap->getValueInterface()->getCurrentValueAsString(), "NOT INSTALLED");
    EXPECT_TRUE (vst3->getCurrentState().isCheckable());
    EXPECT_TRUE (vst3->getCurrentState().isChecked());
    EXPECT_FALSE (clap->getCurrentState().isChecked());
    EXPECT_EQ (vst3->getDescription(), "Select to update VST3 to 3.1.10");

    panel->buttonClicked (&control ("CLAP"));
    EXPECT_TRUE (clap->getCurrentState().isChecked());

    EXPECT_EQ (handlerOf ("EULA")->getRole(), juce::AccessibilityRole::button);
    EXPECT_EQ (handlerOf ("EULA")->getValueInterface(), nullptr);
}

} // namespace
