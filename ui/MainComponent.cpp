#include "ui/MainComponent.h"
#include "product/ProductManifest.h"
#include "ui/PanelDrawing.h"
#include "ui/Palette.h"
#include "ui/panel_eula.h"
#include "ui/panel_support.h"

#include "BinaryData.h"

#include <utility>

using ov::drawing::parseIcon;

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
    helpLabel->setColour (juce::Label::textColourId, ov::palette::greyTextColour.withAlpha ((juce::uint8) 128));
    helpLabel->setText (ov::product::applicationVersion, juce::dontSendNotification);

    // The pointer entering any control counts as entering the panel.
    addMouseListener (this, true);
    setSize (600, 600);
}

MainComponent::~MainComponent()
{
    // Taking the children apart passes the keyboard from one control to the next, and a control that
    // gains or loses it reports a change of state: no report may reach a panel that is half gone, nor
    // a screen reader ask it for words. So the keyboard leaves the panel first, and the panel stops listening.
    if (hasKeyboardFocus (true))
        giveAwayKeyboardFocus();

    for (auto* child : getChildren())
        if (auto* control = dynamic_cast<juce::Button*> (child))
            control->removeListener (this);

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

    layOutOverlays();
}

void MainComponent::layOutOverlays()
{
    // An overlay covers the whole panel at the panel's scale, above its controls, shown or not.
    const auto cover = [this] (auto& overlay)
    {
        overlay.layoutUnit = layoutUnit;
        overlay.setBounds (getLocalBounds());
        overlay.setAlwaysOnTop (true);
    };

    if (eulaPanel != nullptr)
        cover (*eulaPanel);

    if (supportPanel != nullptr)
        cover (*supportPanel);
}
