#include "ui/CustomLookAndFeel.h"
#include "ui/Palette.h"

#include "BinaryData.h"

namespace
{

juce::Typeface::Ptr makeRegularTypeface (const void* fontData, size_t fontDataSize)
{
    if (auto typeface = juce::Typeface::createSystemTypefaceFor (fontData, fontDataSize))
        return typeface;

    // A broken font resource must not leave every text of the window without a face.
    return juce::Font::getDefaultTypefaceForFont (juce::Font (juce::FontOptions{}));
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
