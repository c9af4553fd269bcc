#pragma once

#include "host/Host.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

/** Community chat, e-mail and a word about the installer, laid over the whole main panel. */
class panel_support final : public juce::Component,
                            public juce::Button::Listener
{
public:
    panel_support();
    ~panel_support() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    void buttonClicked (juce::Button*) override;
    bool keyPressed (const juce::KeyPress&) override;

    /** The about block's text, naming the shared settings file. */
    juce::String getAboutText() const;

    /** The pre-filled support request handed to the mail program. */
    juce::URL makeMailLink() const;

    float layoutUnit = 9.0f;
    juce::String settingsFolder, productName, productVersion;

    /** What the main panel showed of the last install or uninstall run, line by line; empty before any run. */
    juce::StringArray lastRunReport;

    /** Opens the links; the main panel hands in its own. */
    std::shared_ptr<const ov::Host> host = std::make_shared<ov::SystemHost>();

private:
    std::unique_ptr<juce::TextButton> closeButton;
    std::unique_ptr<juce::TextButton> mailButton;
    std::unique_ptr<juce::TextButton> discordButton;
    std::unique_ptr<juce::Drawable> discordIcon;
    std::unique_ptr<juce::Drawable> mailIcon;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (panel_support)
};
