#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstddef>

/** The program's look: the embedded rounded typeface for every font, and the palette for stock widgets. */
class CustomLookAndFeel final : public juce::LookAndFeel_V4
{
public:
    /** Uses the typeface compiled into the program. */
    CustomLookAndFeel();

    /** Uses the typeface in the given font file bytes (tests hand in broken ones). */
    CustomLookAndFeel (const void* fontData, size_t fontDataSize);

    ~CustomLookAndFeel() override;

    juce::Typeface::Ptr getTypefaceForFont (const juce::Font&) override;

    juce::Font getPopupMenuFont() override;

    void drawComboBox (juce::Graphics&, int width, int height, bool isButtonDown,
                       int buttonX, int buttonY, int buttonW, int buttonH, juce::ComboBox&) override;
    juce::Font getComboBoxFont (juce::ComboBox&) override;
    void positionComboBoxText (juce::ComboBox&, juce::Label&) override;

    /** The face every text of the program is drawn in. */
    juce::Typeface::Ptr getRegularTypeface() const     { return regularTypeface; }

    /** A font of the regular face at the given height in pixels. */
    juce::Font getRegularFont (float height) const;

private:
    juce::Typeface::Ptr regularTypeface;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CustomLookAndFeel)
};
