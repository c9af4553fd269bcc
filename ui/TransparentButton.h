#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** A control that only receives the pointer and the keyboard: it is made fully transparent and the panel
    that owns it paints its face from its state. */
class TransparentButton : public juce::TextButton
{
public:
    TransparentButton() = default;

protected:
    // A click from the keyboard or a screen reader holds the button down until the framework paints it,
    // and it never paints a transparent one: without this the face would stay pressed and the button's
    // timer run until the pointer next passed over it.
    void buttonStateChanged() override
    {
        if (isDown() && ! isMouseButtonDown())
            juce::Timer::callAfterDelay (heldMilliseconds, [button = SafePointer<TransparentButton> (this)]
            {
                // What the framework does when a button is shown again: it lets go of a held click.
                if (button != nullptr && button->isDown() && ! button->isMouseButtonDown())
                    button->visibilityChanged();
            });
    }

private:
    static constexpr int heldMilliseconds = 100;   // as long as the framework shows a click from the keyboard

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TransparentButton)
};
