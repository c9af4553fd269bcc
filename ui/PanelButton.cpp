#include "ui/PanelButton.h"

namespace
{

class StateText final : public juce::AccessibilityTextValueInterface
{
public:
    explicit StateText (std::function<juce::String()> textToRead)
        : text (std::move (textToRead))
    {
    }

    bool isReadOnly() const override                         { return true; }
    juce::String getCurrentValueAsString() const override    { return text(); }
    void setValueAsString (const juce::String&) override     {}

private:
    std::function<juce::String()> text;
};

class PanelButtonHandler final : public juce::AccessibilityHandler
{
public:
    PanelButtonHandler (PanelButton& buttonToWrap, const PanelButton::Speech& speechToUse)
        : juce::AccessibilityHandler (buttonToWrap,
                                      speechToUse.selected != nullptr ? juce::AccessibilityRole::toggleButton
                                                                      : juce::AccessibilityRole::button,
                                      makeActions (buttonToWrap, speechToUse),
                                      makeInterfaces (speechToUse)),
          speech (speechToUse)
    {
    }

    juce::String getTitle() const override
    {
        return speech.title != nullptr ? speech.title() : juce::AccessibilityHandler::getTitle();
    }

    juce::String getDescription() const override
    {
        return speech.description != nullptr ? speech.description() : juce::AccessibilityHandler::getDescription();
    }

    juce::AccessibleState getCurrentState() const override
    {
        auto state = juce::AccessibilityHandler::getCurrentState();

        if (speech.selected == nullptr)
            return state;

        state = state.withCheckable();
        return speech.selected() ? state.withChecked() : state;
    }

private:
    static juce::AccessibilityActions makeActions (PanelButton& button, const PanelButton::Speech& speech)
    {
        auto actions = juce::AccessibilityActions().addAction (juce::AccessibilityActionType::press,
                                                               [&button] { button.triggerClick(); });

        // A row's click is what selects it, so toggling is the same click.
        if (speech.selected != nullptr)
            actions.addAction (juce::AccessibilityActionType::toggle, [&button] { button.triggerClick(); });

        return actions;
    }

    static Interfaces makeInterfaces (const PanelButton::Speech& speech)
    {
        if (speech.value == nullptr)
            return {};

        return Interfaces (std::unique_ptr<juce::AccessibilityValueInterface> (std::make_unique<StateText> (speech.value)));
    }

    const PanelButton::Speech& speech;
};

} // namespace

PanelButton::PanelButton (Speech speechToUse)
    : speech (std::move (speechToUse))
{
}

std::unique_ptr<juce::AccessibilityHandler> PanelButton::createAccessibilityHandler()
{
    return std::make_unique<PanelButtonHandler> (*this, speech);
}
