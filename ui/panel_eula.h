#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

/** The licence agreement, laid over the whole main panel. */
class panel_eula final : public juce::Component,
                         public juce::Button::Listener
{
public:
    explicit panel_eula (juce::String licenceText);
    ~panel_eula() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    void buttonClicked (juce::Button*) override;
    bool keyPressed (const juce::KeyPress&) override;

    float layoutUnit = 9.0f;

private:
    std::unique_ptr<juce::TextEditor> licenceEditor;
    std::unique_ptr<juce::TextButton> closeButton;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (panel_eula)
};
