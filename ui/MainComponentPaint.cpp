#include "ui/MainComponent.h"
#include "product/ProductManifest.h"
#include "ui/PanelDrawing.h"
#include "ui/Palette.h"

#include <utility>

namespace
{

using namespace ov::palette;
using ov::drawing::drawIcon;
using ov::drawing::drawRecolouredIcon;
using ov::drawing::faceColour;

juce::Colour rowColour (const ov::FormatStatus& status, bool hovered)
{
    if (status.bundleExists)
        return (status.needsUpdate ? accentYellowColour : accentBlueColour).withAlpha ((juce::uint8) (hovered ? 255 : 230));

    return greyTextColour.withAlpha ((juce::uint8) (hovered ? 128 : 89));
}

juce::Rectangle<float> nonNegative (float x, float y, float w, float h)
{
    return { x, y, juce::jmax (0.0f, w), juce::jmax (0.0f, h) };
}

} // namespace

void MainComponent::paint (juce::Graphics& g)
{
    // What the first frame did not need follows it at once.
    if (! std::exchange (startupWorkPosted, true))
        juce::MessageManager::callAsync ([panel = SafePointer<MainComponent> (this)]
        {
            if (panel != nullptr)
                panel->runStartupWork();
        });

    const auto width = (float) getWidth();
    const auto height = (float) getHeight();
    const auto u = layoutUnit;

    g.fillAll (backgroundColour);

    g.setColour (accentBlueColour);
    g.fillRect (juce::Rectangle<float> (0.0f, 0.0f, 100.0f * u, 1.0f * u));

    g.setColour (greyTextColour.withAlpha ((juce::uint8) 128));
    g.fillEllipse (width - 2.0f * u, height - 2.0f * u, u, u);
    g.fillEllipse (width - 2.0f * u, height - 4.0f * u, u, u);
    g.fillEllipse (width - 4.0f * u, height - 2.0f * u, u, u);

    const auto font = customLookAndFeel.getRegularFont (9.0f * u);
    const juce::Rectangle<float> headingBox (4.0f * u, 8.0f * u, width, 12.0f * u);

    g.setColour (greyTextColour);
    g.setFont (font);
    g.drawText (productName.toUpperCase(), headingBox, juce::Justification::topLeft);

    g.setFont (font.withHeight (4.0f * u));
    g.setColour (greyTextColour.withAlpha ((juce::uint8) 128));
    g.drawText ("Version " + productVersion + platformSuffix, headingBox, juce::Justification::bottomLeft);

    drawRecolouredIcon (g, logoDrawable.get(), juce::Colours::black, lightTextColour,
                        { 4.0f * u, 2.5f * u, 26.7f * u, 3.7f * u },
                        juce::RectanglePlacement (juce::RectanglePlacement::xLeft | juce::RectanglePlacement::yMid));

    g.setColour (greyTextColour.withAlpha ((juce::uint8) 128));
    g.setFont (font.withHeight (3.0f * u));
    g.drawSingleLineText ("PLUGIN MANAGER", (int) (75.0f * u), (int) (4.0f * u), juce::Justification::left);
    g.setFont (font.withHeight (2.0f * u));
    g.drawSingleLineText (juce::String ("v") + ov::product::applicationVersion, (int) (75.0f * u), (int) (6.0f * u),
                          juce::Justification::left);

    g.setColour (greyTextColour);
    g.setFont (font.withHeight (4.0f * u));
    g.drawSingleLineText ("FORMATS", (int) (4.0f * u), (int) (26.0f * u), juce::Justification::left);
    g.fillRect (juce::Rectangle<float> (4.0f * u, 27.5f * u, 92.0f * u, 0.25f * u));
    g.drawSingleLineText ("EXTRAS", (int) (4.0f * u), (int) (70.0f * u), juce::Justification::left);
    g.fillRect (juce::Rectangle<float> (4.0f * u, 71.5f * u, 92.0f * u, 0.25f * u));

    g.setFont (font.withHeight (2.5f * u));

    for (size_t i = 0; i < extrasButtons.size(); ++i)
        paintControlFace (g, *extrasButtons[i], (int) i, 2.0f, ov::product::extraNames()[(int) i]);

    // Drawn in both phases: after a run the hidden button leaves its face at rest.
    paintControlFace (g, *installButton, 4, 1.5f, uninstallMode ? "UNINSTALL" : "INSTALL");

    if (installFinished)
    {
        paintFinishedDisplay (g);
        return;
    }

    const auto& selectAll = *selectAllButton;
    const auto selectAllBounds = selectAll.getBounds().toFloat();

    g.setFont (font.withHeight (3.0f * u));
    g.setColour (selectAll.isDown() ? accentGreenColour : greyTextColour.withAlpha ((juce::uint8) 26));
    g.fillRoundedRectangle (selectAllBounds, u);
    g.setColour (selectAll.isDown() ? darkInkColour : greyTextColour);
    g.drawText ("SELECT ALL", selectAllBounds, juce::Justification::centred);

    paintFormatRows (g);
}

void MainComponent::paintControlFace (juce::Graphics& g, const juce::Button& button, int iconIndex,
                                      float iconInset, const juce::String& caption)
{
    const auto u = layoutUnit;
    const auto bounds = button.getBounds().toFloat();

    g.setColour (faceColour (button));
    g.fillRoundedRectangle (bounds, u);
    drawIcon (g, extrasIcons[(size_t) iconIndex].get(), bounds.reduced (iconInset * u));

    g.setColour (greyTextColour);
    g.drawText (caption, bounds.translated (0.0f, 3.5f * u), juce::Justification::centredBottom);
}

void MainComponent::paintFormatRows (juce::Graphics& g)
{
    const auto u = layoutUnit;
    const auto font = customLookAndFeel.getRegularFont (3.5f * u);

    for (size_t i = 0; i < formatButtons.size(); ++i)
    {
        const auto& button = *formatButtons[i];
        const auto status = probeFormatStatus ((int) i);
        const auto bounds = button.getBounds().toFloat();
        const auto x = bounds.getX(), y = bounds.getY(), w = bounds.getWidth(), h = bounds.getHeight();

        g.setColour (rowColour (status, button.isOver()));
        g.fillRoundedRectangle (bounds, u);

        if (formatSelected[i])
        {
            g.setColour (accentYellowColour);
            g.drawRoundedRectangle (bounds, u, 0.5f * u);
        }

        const auto textArea = nonNegative (x + 11.5f * u, y + 1.5f * u, w - 3.0f * u, h - 3.0f * u);

        g.setColour (backgroundColour);
        g.setFont (font);
        g.drawText (ov::product::formatNames()[(int) i], textArea, juce::Justification::topLeft);
        g.setFont (font.withHeight (3.0f * u));
        g.drawText (status.statusText, textArea, juce::Justification::bottomLeft);

        drawIcon (g, formatIcons[i].get(), nonNegative (x + u, y + u, 8.0f * u, h - 2.0f * u));
    }
}
