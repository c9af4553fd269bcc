#include "ui/panel_eula.h"
#include "ui/Overlay.h"
#include "ui/PanelDrawing.h"
#include "ui/TransparentButton.h"
#include "ui/Palette.h"

using namespace ov::palette;

panel_eula::panel_eula (juce::String licenceText)
{
    ov::overlay::keepKeyboardWithin (*this);

    // Left editable on purpose: scrolling, selecting and copying work as in any text field, and nothing typed is kept.
    licenceEditor = std::make_unique<juce::TextEditor>();
    addAndMakeVisible (*licenceEditor);
    licenceEditor->setMultiLine (true);
    licenceEditor->setColour (juce::TextEditor::outlineColourId, backgroundColour);
    licenceEditor->setColour (juce::TextEditor::focusedOutlineColourId, backgroundColour);
    licenceEditor->setTitle ("LICENSE AGREEMENT");
    // The keyboard starts on the licence, so that the keys scroll it at once; Escape goes on to close the panel.
    licenceEditor->setExplicitFocusOrder (1);
    licenceEditor->setEscapeAndReturnKeysConsumed (false);

    closeButton = std::make_unique<TransparentButton>();
    addAndMakeVisible (*closeButton);
    closeButton->setName ("X");
    closeButton->setAlpha (0.0f);
    closeButton->addListener (this);
    closeButton->setTitle ("Close");
    closeButton->setExplicitFocusOrder (2);

    // Laid out before the text goes in: an editor of no width lays the licence out a letter to a line, which
    // takes seconds.
    resized();
    licenceEditor->setText (licenceText);
    licenceEditor->applyColourToAllText (greyTextColour);
}

panel_eula::~panel_eula() = default;

void panel_eula::resized()
{
    const auto u = layoutUnit;
    licenceEditor->setBounds (ov::drawing::scaledBounds (u, 4.0f, 12.0f, 92.0f, 80.0f));
    closeButton->setBounds (ov::drawing::scaledBounds (u, 88.0f, 1.5f, 8.0f, 8.0f));
}

void panel_eula::paint (juce::Graphics& g)
{
    const auto u = layoutUnit;

    g.fillAll (backgroundColour);

    g.setColour (lightTextColour);
    g.setFont (juce::FontOptions (4.0f * u));
    g.drawSingleLineText ("LICENSE AGREEMENT", (int) (4.0f * u), (int) (6.0f * u), juce::Justification::left);

    ov::drawing::drawCloseGlyph (g, *closeButton, u);
}

void panel_eula::buttonClicked (juce::Button*)
{
    ov::overlay::close (*this);
}

bool panel_eula::keyPressed (const juce::KeyPress& key)
{
    return ov::overlay::closeOnEscape (*this, key);
}
