#pragma once

#include "ui/TransparentButton.h"

#include <functional>

/** One of the main panel's transparent controls: the panel paints its face and names it by its
    component name. What it tells a screen reader is asked of the panel at the moment of asking,
    so it follows the Shift key, the selection and the bundles on disk without being told. */
class PanelButton final : public TransparentButton
{
public:
    struct Speech
    {
        std::function<juce::String()> title;        // the caption under or on the face
        std::function<juce::String()> description;  // the help line's text for this control
        std::function<juce::String()> value;        // a format row's state, e.g. "NOT INSTALLED"
        std::function<bool()> selected;              // a format row's selection
    };

    explicit PanelButton (Speech);

    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;

private:
    Speech speech;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PanelButton)
};
