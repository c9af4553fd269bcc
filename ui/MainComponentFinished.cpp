#include "ui/MainComponent.h"
#include "product/ProductManifest.h"
#include "ui/PanelDrawing.h"
#include "ui/Palette.h"

#include <algorithm>

using namespace ov::palette;

void MainComponent::paintFinishedDisplay (juce::Graphics& g)
{
    const auto u = layoutUnit;
    const juce::Rectangle<float> box (4.0f * u, 28.0f * u, 92.0f * u, 38.0f * u);
    const auto iconArea = box.reduced (12.0f * u);
    const auto failed = anyFormatFailed();

    if (failed)
        ov::drawing::drawIcon (g, warningIcon.get(), iconArea);
    else
        ov::drawing::drawRecolouredIcon (g, extrasIcons[4].get(), darkInkColour, accentGreenColour, iconArea);

    paintOutcomeLines (g, box.withBottom (iconArea.getY()));

    g.setColour (lightTextColour);
    g.setFont (customLookAndFeel.getRegularFont (8.0f * u));
    g.drawText (failed ? "FAILED" : "SUCCESS!", box, juce::Justification::centredBottom);
}

void MainComponent::paintOutcomeLines (juce::Graphics& g, juce::Rectangle<float> band)
{
    const auto lines = describeOutcomes();

    if (lines.isEmpty())
        return;

    // A line that does not fit the width wraps (a long path within itself), and the text gets smaller
    // until every line fits the band above the icon.
    juce::TextLayout layout;

    for (auto height = 3.0f * layoutUnit;; height *= 0.9f)
    {
        juce::AttributedString text (lines.joinIntoString ("\n"));
        text.setFont (customLookAndFeel.getRegularFont (height));
        text.setColour (greyTextColour);
        text.setJustification (juce::Justification::horizontallyCentred);
        text.setWordWrap (juce::AttributedString::byWord);
        layout.createLayout (text, band.getWidth());

        if (layout.getHeight() <= band.getHeight() || height < 1.0f)
            break;
    }

    layout.draw (g, band.withSizeKeepingCentre (band.getWidth(), layout.getHeight()));
}

bool MainComponent::anyFormatFailed() const
{
    return std::any_of (lastOutcomes.begin(), lastOutcomes.end(),
                        [] (const auto& outcome) { return outcome.processed && ! outcome.succeeded; });
}

juce::StringArray MainComponent::describeOutcomes() const
{
    juce::StringArray lines;

    for (size_t i = 0; i < lastOutcomes.size(); ++i)
    {
        const auto& outcome = lastOutcomes[i];
        const auto& name = ov::product::formatNames()[(int) i];

        if (outcome.processed && ! outcome.succeeded)
            lines.add (name + ": " + outcome.reason);

        for (const auto& note : outcome.notes)
            lines.add (name + ": " + note);
    }

    return lines;
}

