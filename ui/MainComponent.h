#pragma once

#include "host/Host.h"
#include "install/FormatStatus.h"
#include "product/SettingsFile.h"
#include "ui/CustomLookAndFeel.h"
#include "ui/PanelButton.h"
#include "ui/RunReport.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class panel_eula;
class panel_support;

/** The installer's one panel: the format rows, the extras, INSTALL and the help line. */
class MainComponent final : public juce::Component,
                            public juce::Button::Listener,
                            private juce::ComponentListener
{
public:
    /** Works on the real system's folders. */
    MainComponent();

    /** Works on the folders and calls of the given host (tests hand in a sandbox). */
    explicit MainComponent (std::shared_ptr<const ov::Host> host);

    ~MainComponent() override;

    void paint (juce::Graphics&) override;
    void modifierKeysChanged (const juce::ModifierKeys&) override;
    void mouseEnter (const juce::MouseEvent&) override;
    void resized() override;
    void focusOfChildComponentChanged (FocusChangeType) override;

    void buttonClicked (juce::Button*) override;
    void buttonStateChanged (juce::Button*) override;

    //==============================================================================
    // Installation engine, on the message thread.
    juce::File getBundleFile (int index) const;
    juce::File getVersionProbeFile (int index) const;
    ov::FormatStatus probeFormatStatus (int index) const;
    void installSelectedFormats();

    /** Writes the archive copy's entries below targetFolder and reads each written file back against
        the archive's record; the error names the first failure in plain words. */
    juce::Result unpackArchive (const juce::MemoryBlock& archiveCopy, const juce::File& targetFolder) const;

    /** Mends what killed runs left beside the bundles, unless another copy of the installer is at work. */
    void recoverInterruptedRuns();

    /** Brings uninstallMode and the INSTALL caption in line with the Shift key as it is now: the panel
        misses key changes made while the pointer was elsewhere. */
    void followShiftKey();

    /** Work the first frame does not need: run once that frame is painted, from a message its paint posts,
        or before the first command if one comes sooner. */
    void afterFirstPaint (std::function<void()> work);

    //==============================================================================
    // Read by tests and by the accessibility handlers.
    bool isFormatSelected (int index) const           { return formatSelected[(size_t) index]; }
    bool isUninstallMode() const                      { return uninstallMode; }
    bool isInstallFinished() const                    { return installFinished; }
    float getLayoutUnit() const                       { return layoutUnit; }
    const ov::InstallFolders& getInstallFolders() const { return installFolders; }
    const juce::File& getSettingsFolder() const       { return settingsFolder; }
    const std::array<ov::FormatOutcome, 3>& getLastOutcomes() const { return lastOutcomes; }
    const ov::RunReport& getLastReport() const        { return lastReport; }
    juce::String getHelpText() const;

private:
    // Construction and layout: MainComponent.cpp.
    std::unique_ptr<juce::TextButton> makeControl (const juce::String& name, PanelButton::Speech);
    void layOutOverlays();

    // Hover help, commands and the overlays they open: MainComponentCommands.cpp.
    std::optional<juce::String> findHoverHelp (const juce::String& buttonName) const;
    juce::String getFormatHelp (int index) const;
    void showOverlay (juce::Component& overlay, juce::Button& opener);
    juce::Component* findShownOverlay() const;
    void followOverlays();
    void componentParentHierarchyChanged (juce::Component&) override;

    // The face of the controls: MainComponentPaint.cpp.
    void paintControlFace (juce::Graphics&, const juce::Button&, int iconIndex, float iconInset, const juce::String& caption);
    void paintFormatRows (juce::Graphics&);
    void runStartupWork();
    void writeMissingSettings();

    // The finished display: MainComponentFinished.cpp.
    void paintFinishedDisplay (juce::Graphics&);
    void paintReportLines (juce::Graphics&, juce::Rectangle<float> band);

    std::shared_ptr<const ov::Host> host;

    int lastModifierFlags = 0;
    CustomLookAndFeel customLookAndFeel;
    float layoutUnit = 9.0f;
    juce::String productName, productVersion, platformSuffix;

    std::array<std::unique_ptr<juce::TextButton>, 4> extrasButtons;
    std::array<std::unique_ptr<juce::TextButton>, 3> formatButtons;
    std::unique_ptr<juce::TextButton> installButton;
    std::unique_ptr<juce::TextButton> selectAllButton;
    std::unique_ptr<panel_eula> eulaPanel;
    std::unique_ptr<panel_support> supportPanel;
    std::unique_ptr<juce::Label> helpLabel;
    juce::Button* overlayOpener = nullptr;   // gets the keyboard back when its overlay closes

    std::array<std::unique_ptr<juce::Drawable>, 3> formatIcons;
    std::array<std::unique_ptr<juce::Drawable>, 5> extrasIcons;
    std::unique_ptr<juce::Drawable> logoDrawable;
    std::unique_ptr<juce::Drawable> warningIcon;

    juce::URL productPageUrl, manualUrl;
    juce::File settingsFolder;

    bool uninstallMode = false;
    bool installFinished = false;
    std::array<bool, 3> formatSelected {};
    ov::InstallFolders installFolders;
    std::array<ov::FormatOutcome, 3> lastOutcomes;
    ov::RunReport lastReport;   // what the finished display and the support mail say of the run

    std::vector<std::function<void()>> startupWork;
    bool startupWorkPosted = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
