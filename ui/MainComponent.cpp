#include "ui/MainComponent.h"
#include "product/ProductManifest.h"
#include "ui/PanelDrawing.h"
#include "ui/Palette.h"
#include "ui/panel_eula.h"
#include "ui/panel_support.h"

#include "BinaryData.h"

#include <algorithm>
#include <utility>

namespace
{

using namespace ov::palette;
using ov::drawing::faceColour;
using ov::drawing::parseIcon;

// An icon that could not be parsed simply leaves its place empty.
void drawIcon (juce::Graphics& g, juce::Drawable* icon, juce::Rectangle<float> area, juce::RectanglePlacement placement)
{
    if (icon != nullptr)
        icon->drawWithin (g, area, placement, 1.0f);
}

void drawRecolouredIcon (juce::Graphics& g, juce::Drawable* icon, juce::Colour from, juce::Colour to,
                         juce::Rectangle<float> area, juce::RectanglePlacement placement)
{
    if (icon == nullptr)
        return;

    // In place and undone at once: the parsed icon is shared by every paint.
    icon->replaceColour (from, to);
    icon->drawWithin (g, area, placement, 1.0f);
    icon->replaceColour (to, from);
}

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

// An overlay covers the whole panel at the panel's scale, above its controls, shown or not.
template <typename Overlay>
void coverPanel (Overlay& overlay, const juce::Component& panel, float layoutUnit)
{
    overlay.layoutUnit = layoutUnit;
    overlay.setBounds (panel.getLocalBounds());
    overlay.setAlwaysOnTop (true);
}

} // namespace

MainComponent::MainComponent()
    : MainComponent (std::make_shared<ov::SystemHost>())
{
}

MainComponent::MainComponent (std::shared_ptr<const ov::Host> hostToUse)
    : host (std::move (hostToUse))
{
    juce::Desktop::getInstance().setDefaultLookAndFeel (&customLookAndFeel);

    formatIcons[0] = parseIcon (BinaryData::icon_vst3_svg, BinaryData::icon_vst3_svgSize, true);
    formatIcons[1] = parseIcon (BinaryData::icon_clap_svg, BinaryData::icon_clap_svgSize, true);
    formatIcons[2] = parseIcon (BinaryData::icon_aax_svg, BinaryData::icon_aax_svgSize, true);
    extrasIcons[0] = parseIcon (BinaryData::icon_eula_svg, BinaryData::icon_eula_svgSize, true);
    extrasIcons[1] = parseIcon (BinaryData::icon_manual_svg, BinaryData::icon_manual_svgSize, true);
    extrasIcons[2] = parseIcon (BinaryData::icon_web_svg, BinaryData::icon_web_svgSize, true);
    extrasIcons[3] = parseIcon (BinaryData::icon_help_svg, BinaryData::icon_help_svgSize, true);
    extrasIcons[4] = parseIcon (BinaryData::icon_install_svg, BinaryData::icon_install_svgSize, true);
    logoDrawable = parseIcon (BinaryData::logo_orvella_svg, BinaryData::logo_orvella_svgSize, false);
    warningIcon = parseIcon (BinaryData::icon_warning_svg, BinaryData::icon_warning_svgSize, false);

    platformSuffix = ov::product::platformSuffix;
    installFolders = ov::SettingsFile::makeDefaultFolders (host->getCommonFilesBase());
    productName = ov::product::makeProductName (ov::product::productIdentifier);
    productVersion = ov::product::pluginVersion;
    productPageUrl = juce::URL (ov::product::productPageAddress);
    manualUrl = juce::URL (ov::product::manualAddress);

    const auto commonAppData = host->getCommonAppDataFolder();

    // Without the machine-wide folder there is nowhere safe to keep the settings: the defaults stay.
    if (commonAppData != juce::File())
    {
        settingsFolder = commonAppData.getChildFile (ov::product::makerFolderName);

        // The first frame needs the folders a file names; writing a missing one can wait until it is out.
        if (settingsFolder.getChildFile (ov::product::settingsFileName).existsAsFile())
            ov::SettingsFile::loadOrCreate (settingsFolder, installFolders, *host);
        else
            afterFirstPaint ([this] { writeMissingSettings(); });
    }

    const auto& extraNames = ov::product::extraNames();
    const auto& formatNames = ov::product::formatNames();

    for (size_t i = 0; i < extrasButtons.size(); ++i)
    {
        const auto name = extraNames[(int) i];
        extrasButtons[i] = makeControl (name, { [name] { return name; },
                                                [this, name] { return findHoverHelp (name).value_or (juce::String()); },
                                                nullptr, nullptr });
    }

    // A run that was killed may have left the user's plug-in set aside: it goes back before the
    // selection looks at the bundles, so it shows as installed and starts selected.
    recoverInterruptedRuns();

    for (size_t i = 0; i < formatButtons.size(); ++i)
    {
        formatSelected[i] = getBundleFile ((int) i).exists();

        const auto index = (int) i;
        const auto name = formatNames[index];
        formatButtons[i] = makeControl (name, { [name] { return name; },
                                                [this, index] { return getFormatHelp (index); },
                                                [this, index] { return probeFormatStatus (index).statusText; },
                                                [this, index] { return isFormatSelected (index); } });
    }

    installButton = makeControl ("INSTALL", { [this] { return juce::String (uninstallMode ? "UNINSTALL" : "INSTALL"); },
                                              [this] { return findHoverHelp ("INSTALL").value_or (juce::String()); },
                                              nullptr, nullptr });
    selectAllButton = makeControl ("SELECT_ALL", { [] { return juce::String ("SELECT ALL"); }, nullptr, nullptr, nullptr });

    helpLabel = std::make_unique<juce::Label>();
    addAndMakeVisible (*helpLabel);
    helpLabel->setJustificationType (juce::Justification::centred);
    helpLabel->setColour (juce::Label::textColourId, greyTextColour.withAlpha ((juce::uint8) 128));
    helpLabel->setText (ov::product::applicationVersion, juce::dontSendNotification);

    // The pointer entering any control counts as entering the panel.
    addMouseListener (this, true);
    setSize (600, 600);
}

MainComponent::~MainComponent()
{
    const auto tempFolder = host->getTempFolder();
    const auto script = tempFolder.getChildFile ("script.sh");

    // A link of that name is not ours to judge: it may stand for anything.
    if (tempFolder != juce::File() && script.existsAsFile() && ! script.isSymbolicLink())
        script.deleteFile();
}

void MainComponent::afterFirstPaint (std::function<void()> work)
{
    startupWork.push_back (std::move (work));
}

void MainComponent::runStartupWork()
{
    for (auto& work : std::exchange (startupWork, {}))
        work();
}

void MainComponent::writeMissingSettings()
{
    const auto folders = installFolders;

    // Another installer may have written the file meanwhile: then it is read instead, as at a start.
    ov::SettingsFile::loadOrCreate (settingsFolder, installFolders, *host);

    if (installFolders == folders)
        return;

    for (size_t i = 0; i < formatSelected.size(); ++i)
        formatSelected[i] = getBundleFile ((int) i).exists();

    repaint();
}

std::unique_ptr<juce::TextButton> MainComponent::makeControl (const juce::String& name, PanelButton::Speech speech)
{
    auto button = std::make_unique<PanelButton> (std::move (speech));
    addAndMakeVisible (*button);
    button->setName (name);
    button->setAlpha (0.0f);
    button->addListener (this);
    return button;
}

//==============================================================================
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
        paintOutcome (g);
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
    drawIcon (g, extrasIcons[(size_t) iconIndex].get(), bounds.reduced (iconInset * u), juce::RectanglePlacement::centred);

    g.setColour (greyTextColour);
    g.drawText (caption, bounds.translated (0.0f, 3.5f * u), juce::Justification::centredBottom);
}

void MainComponent::paintOutcome (juce::Graphics& g)
{
    const auto u = layoutUnit;
    const juce::Rectangle<float> box (4.0f * u, 28.0f * u, 92.0f * u, 38.0f * u);
    const auto iconArea = box.reduced (12.0f * u);
    const auto failed = anyFormatFailed();

    if (failed)
        drawIcon (g, warningIcon.get(), iconArea, juce::RectanglePlacement::centred);
    else
        drawRecolouredIcon (g, extrasIcons[4].get(), darkInkColour, accentGreenColour, iconArea,
                            juce::RectanglePlacement::centred);

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

        drawIcon (g, formatIcons[i].get(), nonNegative (x + u, y + u, 8.0f * u, h - 2.0f * u),
                  juce::RectanglePlacement::centred);
    }
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

//==============================================================================
void MainComponent::resized()
{
    layoutUnit = (float) getWidth() * 0.01f;
    const auto u = layoutUnit;

    const auto place = [u] (juce::Component& child, float x, float y, float w, float h)
    {
        child.setBounds (ov::drawing::scaledBounds (u, x, y, w, h));
    };

    auto extrasX = 4.0f;

    for (auto& button : extrasButtons)
    {
        place (*button, extrasX, 73.5f, 10.0f, 10.0f);
        extrasX += 11.5f;
    }

    place (*installButton, 86.0f, 73.5f, 10.0f, 10.0f);
    place (*selectAllButton, 77.0f, 22.0f, 19.0f, 5.0f);
    place (*formatButtons[0], 4.0f, 30.0f, 45.0f, 10.0f);
    place (*formatButtons[1], 51.0f, 30.0f, 45.0f, 10.0f);
    place (*formatButtons[2], 4.0f, 42.0f, 45.0f, 10.0f);
    place (*helpLabel, 4.0f, 90.0f, 92.0f, 3.0f);

    helpLabel->setFont (customLookAndFeel.getRegularFont (3.0f * u));

    if (eulaPanel != nullptr)
        coverPanel (*eulaPanel, *this, layoutUnit);

    if (supportPanel != nullptr)
        coverPanel (*supportPanel, *this, layoutUnit);
}

//==============================================================================
std::optional<juce::String> MainComponent::findHoverHelp (const juce::String& buttonName) const
{
    if (buttonName == "EULA")       return juce::String ("Click to read End-User License Agreement");
    if (buttonName == "MANUAL")     return juce::String ("Click to open product manual in your web browser");
    if (buttonName == "WEBSITE")    return juce::String ("Click to open product page on the Orvella website");
    if (buttonName == "SUPPORT")    return juce::String ("Email and Discord support");

    for (int i = 0; i < (int) formatButtons.size(); ++i)
        if (buttonName == ov::product::formatNames()[i])
            return getFormatHelp (i);

    if (buttonName == "INSTALL")
        return juce::String ("Click to install selected. ") + "Shift-click to uninstall selected";

    return std::nullopt;
}

juce::String MainComponent::getFormatHelp (int index) const
{
    const auto& name = ov::product::formatNames()[index];

    // Existence only: an up-to-date bundle is still offered as an update.
    if (getBundleFile (index).exists())
        return "Select to update " + name + " to " + productVersion;

    return "Select to install " + name;
}

void MainComponent::buttonStateChanged (juce::Button* button)
{
    // The button's own state is what the framework repaints on, so hover help and face agree.
    if (! button->isOver())
    {
        helpLabel->setText ({}, juce::dontSendNotification);
        return;
    }

    if (const auto help = findHoverHelp (button->getName()))
        helpLabel->setText (*help, juce::dontSendNotification);
}

void MainComponent::buttonClicked (juce::Button* button)
{
    runStartupWork();

    const auto name = button->getName();
    const auto formatIndex = ov::product::formatNames().indexOf (name);

    if (name == "EULA")
    {
        eulaPanel = std::make_unique<panel_eula> (ov::product::eulaText);
        addAndMakeVisible (*eulaPanel);
        coverPanel (*eulaPanel, *this, layoutUnit);
    }
    else if (name == "WEBSITE")
    {
        host->openUrl (productPageUrl);
    }
    else if (name == "MANUAL")
    {
        host->openUrl (manualUrl);
    }
    else if (name == "SUPPORT")
    {
        supportPanel = std::make_unique<panel_support>();
        addAndMakeVisible (*supportPanel);
        supportPanel->settingsFolder = settingsFolder.getFullPathName();
        supportPanel->productName = productName;
        supportPanel->productVersion = productVersion;
        supportPanel->host = host;
        coverPanel (*supportPanel, *this, layoutUnit);
    }
    else if (juce::isPositiveAndBelow (formatIndex, (int) formatButtons.size()))
    {
        formatSelected[(size_t) formatIndex] = ! formatSelected[(size_t) formatIndex];
        repaint();
    }
    else if (name == "INSTALL")
    {
        // The key as it is at the click decides, whatever the panel last saw of it.
        followShiftKey();
        installSelectedFormats();
    }
    else if (name == "SELECT_ALL")
    {
        formatSelected.fill (true);
        repaint();
    }
}

juce::String MainComponent::getHelpText() const
{
    return helpLabel != nullptr ? helpLabel->getText() : juce::String();
}
