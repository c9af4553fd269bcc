#include "ui/MainComponent.h"
#include "product/ProductManifest.h"
#include "ui/PanelDrawing.h"
#include "ui/Palette.h"

using namespace ov::palette;

void MainComponent::paintFinishedDisplay (juce::Graphics& g)
{
    const auto u = layoutUnit;
    const juce::Rectangle<float> box (4.0f * u, 28.0f * u, 92.0f * u, 38.0f * u);
    const auto iconArea = box.reduced (12.0f * u);

    if (lastReport.anyFailed)
        ov::drawing::drawIcon (g, warningIcon.get(), iconArea);
    else
        ov::drawing::drawRecolouredIcon (g, extrasIcons[4].get(), darkInkColour, accentGreenColour, iconArea);

    paintReportLines (g, box.withBottom (iconArea.getY()));

    g.setColour (lightTextColour);
    g.setFont (customLookAndFeel.getRegularFont (8.0f * u));
    g.drawText (lastReport.heading, box, juce::Justification::centredBottom);
}

void MainComponent::paintReportLines (juce::Graphics& g, juce::Rectangle<float> band)
{
    if (lastReport.lines.isEmpty())
        return;

    const auto layout = ov::drawing::fitLines (lastReport.lines, customLookAndFeel.getRegularFont (3.0f * layoutUnit),
                                               greyTextColour, band);
    layout.draw (g, band.withSizeKeepingCentre (band.getWidth(), layout.getHeight()));
}
