#include "ui/CustomLookAndFeel.h"
#include "ui/Palette.h"

#include "BinaryData.h"

#include <cstdlib>

namespace
{

#if JUCE_LINUX || JUCE_BSD
/** The framework lists the system's font families the first time it makes any typeface, even one from
    memory: it opens every installed font file, which with a thousand fonts takes a tenth of a second before
    the first frame. The program never asks for a face by name, and the faces that supply characters its own
    face lacks are found through fontconfig's cache, without that list. So, for the making of the first face,
    the framework's font path names no folder; a path the user gave it is left alone. */
class NoInstalledFontScan final
{
public:
    NoInstalledFontScan()   : pathWasSet (std::getenv (variable) != nullptr)
    {
        if (! pathWasSet)
            setenv (variable, "/dev/null", 1);
    }

    ~NoInstalledFontScan()
    {
        // Programs started later (the web browser) must not inherit it.
        if (! pathWasSet)
            unsetenv (variable);
    }

private:
    static constexpr const char* variable = "JUCE_FONT_PATH";
    const bool pathWasSet;

    JUCE_DECLARE_NON_COPYABLE (NoInstalledFontScan)
};
#endif

juce::Typeface::Ptr makeRegularTypeface (const void* fontData, size_t fontDataSize)
{
   #if JUCE_LINUX || JUCE_BSD
    const NoInstalledFontScan noScan;
   #endif

    if (auto typeface = juce::Typeface::createSystemTypefaceFor (fontData, fontDataSize))
        return typeface;

    // A broken font resource must not leave every text of the window without a face.
    return juce::Typeface::findSystemTypeface();
}

} // namespace

CustomLookAndFeel::CustomLookAndFeel()
    : CustomLookAndFeel (BinaryData::SFProRoundedRegular_otf, (size_t) BinaryData::SFProRoundedRegular_otfSize)
{
}

CustomLookAndFeel::CustomLookAndFeel (const void* fontData, size_t fontDataSize)
    : regularTypeface (makeRegularTypeface (fontData, fontDataSize))
{
    using namespace ov::palette;

    setColour (juce::PopupMenu::backgroundColourId, backgroundColour);
    setColour (juce::PopupMenu::highlightedBackgroundColourId, accentGreenColour.withAlpha ((juce::uint8) 0x80));
    setColour (juce::PopupMenu::textColourId, lightTextColour);
    setColour (juce::PopupMenu::highlightedTextColourId, lightTextColour);
    setColour (juce::AlertWindow::backgroundColourId, backgroundColour);
    setColour (juce::AlertWindow::textColourId, greyTextColour);
    setColour (juce::PropertyComponent::labelTextColourId, accentGreenColour.withAlpha ((juce::uint8) 0x80));
    setColour (juce::ScrollBar::thumbColourId, greyTextColour);
    setColour (juce::ResizableWindow::backgroundColourId, backgroundColour);
    setColour (juce::TextEditor::backgroundColourId, backgroundColour);
    setColour (juce::ListBox::backgroundColourId, backgroundColour);
    setColour (juce::TextButton::buttonColourId, backgroundColour);
    setColour (juce::Label::textColourId, lightTextColour);
}

CustomLookAndFeel::~CustomLookAndFeel() = default;

juce::Typeface::Ptr CustomLookAndFeel::getTypefaceForFont (const juce::Font&)
{
    // One face for everything: bold and italic requests are drawn regular, as the design has it.
    return regularTypeface;
}

juce::Font CustomLookAndFeel::getPopupMenuFont()
{
    return juce::Font (juce::FontOptions().withHeight (30.0f).withKerningFactor (0.1f));
}

void CustomLookAndFeel::drawComboBox (juce::Graphics& g, int width, int height, bool,
                                      int, int, int, int, juce::ComboBox&)
{
    g.setColour (ov::palette::darkInkColour);
    g.fillRoundedRectangle (juce::Rectangle<float> ((float) width, (float) height), (float) height * 0.5f);
}

juce::Font CustomLookAndFeel::getComboBoxFont (juce::ComboBox& box)
{
    return juce::Font (juce::FontOptions ((float) box.getHeight() * 0.7f));
}

void CustomLookAndFeel::positionComboBoxText (juce::ComboBox& box, juce::Label& label)
{
    label.setBounds (1, 1, box.getWidth(), box.getHeight() - 2);
    label.setFont (getComboBoxFont (box));
    label.setJustificationType (juce::Justification::centred);
}

juce::Font CustomLookAndFeel::getRegularFont (float height) const
{
    // Through withTypeface, which tolerates the empty face of a system without any font.
    return juce::Font (juce::FontOptions().withTypeface (regularTypeface).withHeight (height));
}
