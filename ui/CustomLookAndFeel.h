#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The program's look: the embedded rounded typeface for every font, and the palette for stock widgets. */
class CustomLookAndFeel final : public juce::LookAndFeel_V4
{
public:
    CustomLookAndFeel();
    ~CustomLookAndFeel() override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CustomLookAndFeel)
};
