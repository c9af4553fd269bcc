#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** What both overlays do alike with the keyboard and when they close. */
namespace ov::overlay
{

/** Tab and Shift-Tab go round the overlay's own controls, in the order of their explicit focus order: the
    panel's controls that it covers are never reached. */
inline void keepKeyboardWithin (juce::Component& overlay)
{
    overlay.setFocusContainerType (juce::Component::FocusContainerType::keyboardFocusContainer);
}

/** Takes the overlay off the screen only: its owner keeps it until the next command of its kind replaces it. */
inline void close (juce::Component& overlay)
{
    if (auto* parent = overlay.getParentComponent())
        parent->removeChildComponent (&overlay);
}

/** Escape closes an overlay, as it closes a dialog; true when the key was used. */
inline bool closeOnEscape (juce::Component& overlay, const juce::KeyPress& key)
{
    if (! key.isKeyCode (juce::KeyPress::escapeKey))
        return false;

    close (overlay);
    return true;
}

} // namespace ov::overlay
