#include "ui/panel_support.h"
#include "product/ProductManifest.h"
#include "ui/Overlay.h"
#include "ui/PanelDrawing.h"
#include "ui/TransparentButton.h"
#include "ui/Palette.h"

#include "BinaryData.h"

using namespace ov::palette;

namespace
{

const char* const discordText =
    "The Orvella Discord is a vibrant community of musicians and producers, and this is the fastest way to get "
    "answers to simple questions. Just join and drop in the appropriate channel. ";

const char* const mailText =
    "If you have more complicated questions, or matters that need to remain private, concerning account "
    "information, etc., feel free to email us.";

void drawLinkButton (juce::Graphics& g, const juce::Button& button, const juce::Drawable* icon,
                     const juce::String& text, float u)
{
    const auto bounds = button.getBounds().toFloat();

    g.setColour (ov::drawing::faceColour (button));
    g.fillRoundedRectangle (bounds, u);

    // An icon that did not parse leaves only its face.
    if (icon != nullptr)
        icon->drawWithin (g, bounds.reduced (2.0f * u), juce::RectanglePlacement::centred, 1.0f);

    g.setColour (greyTextColour);
    g.setFont (juce::FontOptions (3.0f * u));
    g.drawFittedText (text,
                      { juce::roundToInt (bounds.getX() + 12.0f * u), juce::roundToInt (bounds.getY()),
                        juce::roundToInt (70.0f * u), juce::roundToInt (30.0f * u) },
                      juce::Justification::topLeft, 20);
}

void drawHeading (juce::Graphics& g, const juce::String& text, juce::Colour colour, float height,
                  float y, float u)
{
    g.setColour (colour);
    g.setFont (juce::FontOptions (height));
    g.drawText (text, juce::Rectangle<float> (10.0f * u, y * u, 80.0f * u, 10.0f * u),
                juce::Justification::centredLeft, true);
}

} // namespace

panel_support::panel_support()
{
    discordIcon = ov::drawing::parseIcon (BinaryData::icon_discord_svg, BinaryData::icon_discord_svgSize, true);
    mailIcon = ov::drawing::parseIcon (BinaryData::icon_mail_svg, BinaryData::icon_mail_svgSize, true);

    ov::overlay::keepKeyboardWithin (*this);

    // The keyboard starts on the links; the close control comes last.
    const auto makeButton = [this] (const char* name, const char* title, const juce::String& description, int focusOrder)
    {
        auto button = std::make_unique<TransparentButton>();
        addAndMakeVisible (*button);
        button->setName (name);
        button->setAlpha (0.0f);
        button->addListener (this);
        button->setTitle (title);
        button->setDescription (description);
        button->setExplicitFocusOrder (focusOrder);
        return button;
    };

    closeButton = makeButton ("X", "Close", {}, 3);
    discordButton = makeButton ("DISCORD", "Discord", discordText, 1);
    mailButton = makeButton ("MAIL", "E-mail", mailText, 2);
}

panel_support::~panel_support() = default;

void panel_support::resized()
{
    const auto u = layoutUnit;
    closeButton->setBounds (ov::drawing::scaledBounds (u, 88.0f, 1.5f, 8.0f, 8.0f));
    discordButton->setBounds (ov::drawing::scaledBounds (u, 10.0f, 15.0f, 10.0f, 10.0f));
    mailButton->setBounds (ov::drawing::scaledBounds (u, 10.0f, 35.0f, 10.0f, 10.0f));
}

void panel_support::paint (juce::Graphics& g)
{
    const auto u = layoutUnit;

    g.fillAll (backgroundColour);
    ov::drawing::drawCloseGlyph (g, *closeButton, u);

    drawHeading (g, "DISCORD", lightTextColour, 5.0f * u, 7.0f, u);
    drawLinkButton (g, *discordButton, discordIcon.get(), discordText, u);

    drawHeading (g, "E-MAIL", lightTextColour, 5.0f * u, 27.0f, u);
    drawLinkButton (g, *mailButton, mailIcon.get(), mailText, u);

    drawHeading (g, "ABOUT ORVELLA PLUGIN MANAGER", greyTextColour, 3.0f * u, 57.0f, u);

    g.drawFittedText (getAboutText(),
                      ov::drawing::scaledBounds (u, 10.0f, 65.0f, 80.0f, 30.0f),
                      juce::Justification::topLeft, 20);

    g.drawSingleLineText (ov::product::makerNotice, (int) (10.0f * u), (int) (88.0f * u), juce::Justification::left);
}

juce::String panel_support::getAboutText() const
{
    // Always a forward slash: the path reads the same whatever separators the folder came with.
    return juce::String ("The Orvella Plugin Manager v") + ov::product::applicationVersion
         + " cross-platform installater. \nFeel free to drop us a line if you have any suggestions or questions "
           "concerning its use. You can edit the default installation paths in the text file found at "
         + settingsFolder + "/" + ov::product::settingsFileName;
}

juce::URL panel_support::makeMailLink() const
{
    auto body = "Product: " + productName + " " + productVersion + "\n"
              + "Operating System: " + juce::SystemStats::getOperatingSystemName() + "\n"
              + "Device: " + juce::SystemStats::getDeviceDescription() + "\n"
              + "CPU: " + juce::SystemStats::getCpuModel() + "\n"
              + "\n";

    // A request after a run says what the installer reported, in its own words.
    if (! lastRunReport.isEmpty())
        body << lastRunReport.joinIntoString ("\n") << "\n\n";

    body << "Your problem, and the steps to recreate it, if possible:\n";
    const auto subject = productName + " help";

    return juce::URL (juce::String ("mailto:") + ov::product::supportEmailAddress
                      + "?subject=" + juce::URL::addEscapeChars (subject, true)
                      + "&body=" + juce::URL::addEscapeChars (body, true));
}

void panel_support::buttonClicked (juce::Button* button)
{
    const auto name = button->getName();

    if (name == "X")
    {
        ov::overlay::close (*this);
    }
    else if (name == "DISCORD")
    {
        host->openUrl (juce::URL (ov::product::communityInvite));
    }
    else if (name == "MAIL")
    {
        host->openUrl (makeMailLink());
    }
}

bool panel_support::keyPressed (const juce::KeyPress& key)
{
    return ov::overlay::closeOnEscape (*this, key);
}
