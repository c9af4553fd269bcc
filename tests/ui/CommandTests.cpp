#include "ui/PanelRig.h"
#include "ui/panel_eula.h"
#include "ui/panel_support.h"

namespace
{

class MainComponentCommands : public ov::test::PanelRig
{
protected:
    juce::String hover (const juce::String& name)
    {
        control (name).setState (juce::Button::buttonOver);
        return panel->getHelpText();
    }

    void leave (const juce::String& name)     { control (name).setState (juce::Button::buttonNormal); }

    void setModifiers (int flags)             { panel->modifierKeysChanged (juce::ModifierKeys (flags)); }

    std::unique_ptr<juce::AccessibilityHandler> handlerOf (const juce::String& name)
    {
        return static_cast<juce::Component&> (control (name)).createAccessibilityHandler();
    }

    template <typename Overlay>
    int countChildren() const
    {
        const auto& children = panel->getChildren();
        return (int) std::count_if (children.begin(), children.end(), [] (auto* c) { return dynamic_cast<Overlay*> (c) != nullptr; });
    }

    juce::Component* lastChild() const        { return panel->getChildComponent (panel->getNumChildComponents() - 1); }
};

using MainComponentHelp = MainComponentCommands;
using MainComponentAccessibility = MainComponentCommands;

//==============================================================================
TEST_F (MainComponentHelp, EachControlExplainsItselfToThePointerAndToAccessibility)
{
    makePanel();

    const std::tuple<const char*, const char*, const char*> expected[] = {
        { "EULA", "EULA", "Click to read End-User License Agreement" },
        { "MANUAL", "MANUAL", "Click to open product manual in your web browser" },
        { "WEBSITE", "WEBSITE", "Click to open product page on the Orvella website" },
        { "SUPPORT", "SUPPORT", "Email and Discord support" },
        { "VST3", "VST3", "Select to install VST3" },
        { "CLAP", "CLAP", "Select to install CLAP" },
        { "AAX", "AAX", "Select to install AAX" },
        { "INSTALL", "INSTALL", "Click to install selected. Shift-click to uninstall selected" },
    };

    for (const auto& [name, title, help] : expected)
    {
        EXPECT_EQ (hover (name), help);
        EXPECT_EQ (handlerOf (name)->getTitle(), title);
        EXPECT_EQ (handlerOf (name)->getDescription(), help);
        leave (name);
    }

    EXPECT_EQ (handlerOf ("SELECT_ALL")->getTitle(), "SELECT ALL");
    EXPECT_TRUE (handlerOf ("SELECT_ALL")->getDescription().isEmpty());
}

TEST_F (MainComponentHelp, FormatHelpLooksAtExistenceOnly)
{
    // Present in the current version (or with no version at all), it is still offered as an update.
    makePanel();
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
TEST_F (MainComponentCommands, FormatClicksInvertOneFlagAndSelectAllNeverClears)
{
    makeBundle (2);
    makePanel();

    click ("VST3");
    EXPECT_TRUE (panel->isFormatSelected (0));
    EXPECT_FALSE (panel->isFormatSelected (1));
    EXPECT_TRUE (panel->isFormatSelected (2));

    click ("VST3");
    click ("AAX");
    EXPECT_FALSE (panel->isFormatSelected (0));
    EXPECT_FALSE (panel->isFormatSelected (1));
    EXPECT_FALSE (panel->isFormatSelected (2));

    click ("CLAP");

    for (int round = 0; round < 2; ++round)
    {
        click ("SELECT_ALL");

        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE (panel->isFormatSelected (i)) << i << " after " << round + 1;
    }
}

TEST_F (MainComponentCommands, InstallHidesExactlyTheFiveInstallControlsAndLinksKeepWorking)
{
    makePanel();
    click ("MANUAL");
    click ("CLAP");
    click ("INSTALL");

    EXPECT_TRUE (panel->isInstallFinished());
    EXPECT_TRUE (getBundle (1).existsAsFile());

    for (const auto* name : { "VST3", "CLAP", "AAX", "SELECT_ALL", "INSTALL" })
        EXPECT_FALSE (control (name).isVisible()) << name;

    for (const auto* name : { "EULA", "MANUAL", "WEBSITE", "SUPPORT" })
        EXPECT_TRUE (control (name).isVisible()) << name;

    // The extras keep working, help included.
    EXPECT_EQ (hover ("WEBSITE"), "Click to open product page on the Orvella website");
    click ("WEBSITE");
    EXPECT_EQ (*host->openedUrls, juce::StringArray ({ ov::product::manualAddress, ov::product::productPageAddress }));
    click ("SUPPORT");
    EXPECT_EQ (countChildren<panel_support>(), 1);
}

TEST_F (MainComponentCommands, ShiftSwitchesTheModeAndOtherModifiersDoNot)
{
    using Keys = juce::ModifierKeys;
    makePanel();
    const auto install = handlerOf ("INSTALL");

    for (const auto& [flags, uninstall] : { std::pair<int, bool> { Keys::ctrlModifier, false }, { Keys::ctrlModifier | Keys::altModifier, false },
                                            { Keys::shiftModifier | Keys::altModifier, true }, { Keys::shiftModifier, true },
                                            { Keys::noModifiers, false } })
    {
        setModifiers (flags);
        EXPECT_EQ (panel->isUninstallMode(), uninstall) << flags;
        EXPECT_EQ (install->getTitle(), uninstall ? "UNINSTALL" : "INSTALL") << flags;
    }
}

TEST_F (MainComponentCommands, OverlaysCoverThePanelAndFollowItsSize)
{
    makePanel();
    click ("EULA");
    click ("SUPPORT");

    auto* eula = dynamic_cast<panel_eula*> (panel->getChildComponent (panel->getNumChildComponents() - 2));
    auto* support = dynamic_cast<panel_support*> (lastChild());
    ASSERT_NE (eula, nullptr);
    ASSERT_NE (support, nullptr);

    EXPECT_EQ (support->settingsFolder, sandbox.getMakerFolder().getFullPathName());
    EXPECT_EQ (support->productName, "Tavrin3");
    EXPECT_EQ (support->productVersion, "3.1.10");
    EXPECT_EQ (support->host, host);

    for (const auto size : { 600, 800 })
    {
        panel->setSize (size, size);

        for (juce::Component* overlay : std::initializer_list<juce::Component*> { eula, support })
        {
            EXPECT_EQ (overlay->getBounds(), juce::Rectangle<int> (size, size)) << size;
            EXPECT_TRUE (overlay->isAlwaysOnTop());
            EXPECT_TRUE (overlay->isVisible());
        }

        EXPECT_FLOAT_EQ (eula->layoutUnit, (float) size * 0.01f);
        EXPECT_FLOAT_EQ (support->layoutUnit, (float) size * 0.01f);
    }
}

// The support mail quotes what the finished display showed, between the system lines and the prompt; before any
// run its body is the usual one.
TEST_F (MainComponentCommands, TheSupportMailCarriesWhatTheLastRunReported)
{
    makePanel();
    const auto mailBody = [this]
    {
        click ("SUPPORT");
        auto* support = dynamic_cast<panel_support*> (lastChild());
        support->buttonClicked (ov::test::findButton (*support, "MAIL"));
        return ov::test::decodeQuery (host->openedUrls->strings.getLast())["body"];
    };
    const auto system = "Product: Tavrin3 3.1.10\nOperating System: " + juce::SystemStats::getOperatingSystemName()
                      + "\nDevice: " + juce::SystemStats::getDeviceDescription()
                      + "\nCPU: " + juce::SystemStats::getCpuModel() + "\n\n";
    const juce::String prompt ("Your problem, and the steps to recreate it, if possible:\n");

    EXPECT_EQ (mailBody(), system + prompt);

    click ("SELECT_ALL");
    sandbox.getCommonFiles().createDirectory();
    sandbox.getCommonFiles().getChildFile ("CLAP").replaceWithText ("in the way");
    click ("INSTALL");

    EXPECT_EQ (mailBody(), system + "1 OF 3 FAILED\n"
                                    "VST3: installed, version 3.1.10.0\n"
                                    "CLAP: the install folder cannot be written\n"
                                    "AAX: installed, version 3.1.10.0\n"
                                    "\n" + prompt);
}

TEST_F (MainComponentCommands, ReopeningReplacesTheOverlay)
{
    makePanel();
    click ("EULA");
    click ("EULA");
    EXPECT_EQ (countChildren<panel_eula>(), 1);

    // Closed first, it is still replaced by a fresh one.
    panel->removeChildComponent (lastChild());
    EXPECT_EQ (countChildren<panel_eula>(), 0);
    click ("EULA");
    EXPECT_EQ (countChildren<panel_eula>(), 1);

    // A closed overlay still follows the panel's size.
    panel->setSize (700, 700);
    EXPECT_EQ (lastChild()->getWidth(), 700);
}

// Keys reach only the overlay in front: the controls it covers are out of the keyboard's way and refuse a key even
// while they hold the keyboard; they are back once the overlay closes, by its close control or by Escape.
TEST_F (MainComponentCommands, AnOpenOverlayKeepsTheKeyboardOffTheControlsItCovers)
{
    makePanel();
    const auto reachable = [this] { return panel->createKeyboardFocusTraverser()->getAllComponents (panel.get()).size(); };
    ASSERT_EQ (reachable(), 9u);

    for (const auto* command : { "EULA", "SUPPORT" })
    {
        SCOPED_TRACE (command);
        click (command);
        auto* overlay = lastChild();
        EXPECT_EQ (reachable(), 0u);

        for (auto* child : panel->getChildren())
            if (auto* covered = dynamic_cast<juce::Button*> (child))
            {
                EXPECT_FALSE (covered->isEnabled()) << covered->getName();
                EXPECT_FALSE (ov::test::pressKey (*covered, juce::KeyPress (juce::KeyPress::returnKey))) << covered->getName();
            }

        if (juce::String (command) == "EULA")
            dynamic_cast<juce::Button::Listener*> (overlay)->buttonClicked (ov::test::findButton (*overlay, "X"));
        else
            ov::test::pressKey (*ov::test::findButton (*overlay, "DISCORD"), juce::KeyPress (juce::KeyPress::escapeKey));

        EXPECT_EQ (overlay->getParentComponent(), nullptr);
        EXPECT_EQ (reachable(), 9u);
    }
}

//==============================================================================
TEST_F (MainComponentCommands, DestructionRemovesALeftoverScriptFileButNotAFolderOfThatName)
{
    const auto script = sandbox.getTemp().getChildFile ("script.sh");
    const auto neighbour = sandbox.getTemp().getChildFile ("script.sh.keep");
    script.create();
    neighbour.create();

    makePanel();
    panel.reset();
    EXPECT_FALSE (script.exists());
    EXPECT_TRUE (neighbour.existsAsFile());

    script.getChildFile ("inside").create();
    makePanel();
    panel.reset();
    EXPECT_TRUE (script.getChildFile ("inside").existsAsFile());

    // A link of that name stays, and so does what it points at.
    script.deleteRecursively();
    ASSERT_TRUE (neighbour.createSymbolicLink (script, false));
    makePanel();
    panel.reset();
    EXPECT_TRUE (script.isSymbolicLink());
    EXPECT_TRUE (neighbour.existsAsFile());
}

// Taking the panel apart passes the keyboard from control to control, and a control that gains or loses it may
// change its state then: here EULA (deleted last) changes when SELECT_ALL (deleted after the help line) goes.
TEST_F (MainComponentCommands, AControlThatChangesStateWhileThePanelIsTakenApartReachesNoHalfGonePanel)
{
    struct ChangeOnDeletion final : juce::ComponentListener
    {
        explicit ChangeOnDeletion (juce::Button& b) : other (b) {}
        void componentBeingDeleted (juce::Component&) override   { other.setState (juce::Button::buttonOver); }
        juce::Button& other;
    };

    makePanel();
    ChangeOnDeletion change (control ("EULA"));
    control ("SELECT_ALL").addComponentListener (&change);

    panel.reset();   // wrote to the deleted help line
    SUCCEED();
}

//==============================================================================
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

    click ("CLAP");
    EXPECT_TRUE (clap->getCurrentState().isChecked());

    EXPECT_EQ (handlerOf ("EULA")->getRole(), juce::AccessibilityRole::button);
    EXPECT_EQ (handlerOf ("EULA")->getValueInterface(), nullptr);
}

} // namespace
