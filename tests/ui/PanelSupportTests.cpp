#include "product/ProductManifest.h"
#include "support/Sandbox.h"
#include "ui/OverlayTestSupport.h"
#include "ui/panel_support.h"

#include <gtest/gtest.h>

using namespace ov::palette;
using ov::test::colourNear;
using ov::test::over;

namespace
{

/** The link's query as decoded name and value pairs. */
juce::StringPairArray decodeQuery (const juce::String& link)
{
    juce::StringPairArray pairs;

    for (const auto& item : juce::StringArray::fromTokens (link.fromFirstOccurrenceOf ("?", false, false), "&", {}))
        pairs.set (juce::URL::removeEscapeChars (item.upToFirstOccurrenceOf ("=", false, false)),
                   juce::URL::removeEscapeChars (item.fromFirstOccurrenceOf ("=", false, false)));

    return pairs;
}

class PanelSupport : public ::testing::Test
{
protected:
    PanelSupport()
    {
        panel.host = host;
        panel.productName = "Tavrin3";
        panel.productVersion = "3.1.10";
        panel.settingsFolder = "C:\\ProgramData\\Orvella";
    }

    juce::Button& button (const juce::String& name)
    {
        auto* found = ov::test::findButton (panel, name);
        EXPECT_NE (found, nullptr) << name;
        return found != nullptr ? *found : dummy;
    }

    ov::test::ScopedProgramLook look;
    ov::test::Sandbox sandbox;
    std::shared_ptr<ov::test::SandboxHost> host = std::make_shared<ov::test::SandboxHost> (sandbox);
    panel_support panel;
    juce::TextButton dummy;
};

TEST_F (PanelSupport, LaysOutItsButtonsInUnits)
{
    ov::test::layOutAndPaint (panel, 600);
    EXPECT_EQ (button ("X").getBounds(), juce::Rectangle<int> (528, 9, 48, 48));
    EXPECT_EQ (button ("DISCORD").getBounds(), juce::Rectangle<int> (60, 90, 60, 60));
    EXPECT_EQ (button ("MAIL").getBounds(), juce::Rectangle<int> (60, 210, 60, 60));

    ov::test::layOutAndPaint (panel, 900);
    EXPECT_EQ (button ("X").getBounds(), juce::Rectangle<int> (792, 14, 72, 72));
    EXPECT_EQ (button ("DISCORD").getBounds(), juce::Rectangle<int> (90, 135, 90, 90));
    EXPECT_EQ (button ("MAIL").getBounds(), juce::Rectangle<int> (90, 315, 90, 90));
}

TEST_F (PanelSupport, ButtonsAreInvisibleAndStackedCloseDiscordMail)
{
    ASSERT_EQ (panel.getNumChildComponents(), 3);
    EXPECT_EQ (panel.getChildComponent (0)->getName(), "X");
    EXPECT_EQ (panel.getChildComponent (1)->getName(), "DISCORD");
    EXPECT_EQ (panel.getChildComponent (2)->getName(), "MAIL");

    for (auto* child : panel.getChildren())
    {
        EXPECT_FLOAT_EQ (child->getAlpha(), 0.0f);
        EXPECT_TRUE (child->isVisible());
    }

    EXPECT_EQ (button ("X").getTitle(), "Close");
    EXPECT_EQ (button ("DISCORD").getTitle(), "Discord");
    EXPECT_EQ (button ("MAIL").getTitle(), "E-mail");
    EXPECT_TRUE (button ("DISCORD").getDescription().startsWith ("The Orvella Discord is a vibrant community"));
    EXPECT_TRUE (button ("MAIL").getDescription().startsWith ("If you have more complicated questions"));
}

TEST_F (PanelSupport, FacesFollowHoverAndPress)
{
    // A point of each face left and right of its icon, which is inset by two units.
    const auto facePoint = [] (juce::Rectangle<int> face) { return juce::Point<int> (face.getX() + 3, face.getCentreY()); };

    for (const auto* name : { "DISCORD", "MAIL" })
    {
        SCOPED_TRACE (name);
        auto& b = button (name);

        auto image = ov::test::layOutAndPaint (panel, 600);
        auto p = facePoint (b.getBounds());
        EXPECT_TRUE (colourNear (image.getPixelAt (p.x, p.y), over (greyTextColour, 0x80)));

        b.setState (juce::Button::buttonOver);
        image = ov::test::layOutAndPaint (panel, 600);
        EXPECT_TRUE (colourNear (image.getPixelAt (p.x, p.y), over (greyTextColour, 0xbf)));

        b.setState (juce::Button::buttonDown);
        image = ov::test::layOutAndPaint (panel, 600);
        EXPECT_TRUE (colourNear (image.getPixelAt (p.x, p.y), accentGreenColour));

        b.setState (juce::Button::buttonNormal);
    }

    // Hovering one face leaves the other at rest.
    button ("MAIL").setState (juce::Button::buttonOver);
    const auto image = ov::test::layOutAndPaint (panel, 600);
    EXPECT_TRUE (colourNear (image.getPixelAt (63, 120), over (greyTextColour, 0x80)));
    EXPECT_TRUE (colourNear (image.getPixelAt (63, 240), over (greyTextColour, 0xbf)));
}

TEST_F (PanelSupport, CloseGlyphFollowsThePointerAsOnTheLicence)
{
    auto image = ov::test::layOutAndPaint (panel, 1200);
    EXPECT_TRUE (colourNear (image.getPixelAt (1079, 66), over (greyTextColour, 0x80)));

    button ("X").setState (juce::Button::buttonOver);
    image = ov::test::layOutAndPaint (panel, 1200);
    EXPECT_TRUE (colourNear (image.getPixelAt (1079, 66), greyTextColour));
}

TEST_F (PanelSupport, CommunityIconTurnsDarkInkAndMailIconKeepsItsOwn)
{
    const auto image = ov::test::layOutAndPaint (panel, 1200);
    const auto countOf = [&image] (juce::Rectangle<int> area, juce::Colour colour)
    {
        return ov::test::inkBounds (image, area, [colour] (juce::Colour c) { return c == colour; }).getWidth();
    };

    // Icons within the faces shrunk by two units: (144, 204, 72, 72) and (144, 444, 72, 72).
    EXPECT_GT (countOf ({ 144, 204, 72, 72 }, darkInkColour), 20);
    EXPECT_GT (countOf ({ 144, 444, 72, 72 }, juce::Colour (29, 29, 27)), 20);
    EXPECT_EQ (countOf ({ 144, 444, 72, 72 }, darkInkColour), 0);
    EXPECT_EQ (countOf ({ 120, 180, 120, 360 }, juce::Colours::black), 0);
}

TEST_F (PanelSupport, TextsSitInTheirRectangles)
{
    const auto image = ov::test::layOutAndPaint (panel, 600);
    const auto light = [] (juce::Colour c) { return c.getBrightness() > 0.8f; };

    // Headings in lightTextColour, left-aligned at ten units and vertically centred in their ten-unit boxes.
    const auto discord = ov::test::inkBounds (image, { 0, 30, 600, 60 }, light);
    const auto mail = ov::test::inkBounds (image, { 0, 150, 600, 60 }, light);
    ASSERT_FALSE (discord.isEmpty());
    ASSERT_FALSE (mail.isEmpty());
    EXPECT_NEAR (discord.getX(), 60, 3);
    EXPECT_NEAR (discord.getCentreY(), 72, 3);
    EXPECT_NEAR (mail.getX(), 60, 3);
    EXPECT_NEAR (mail.getCentreY(), 192, 3);

    // Body texts start twelve units right of their faces, at the faces' tops.
    const auto community = ov::test::inkBounds (image, { 125, 85, 475, 80 }, ov::test::isBrightInk);
    ASSERT_FALSE (community.isEmpty());
    EXPECT_NEAR (community.getX(), 132, 3);
    EXPECT_NEAR (community.getY(), 90, 6);
    EXPECT_LE (community.getRight(), 552);

    // The about heading is grey, not light, and the about text starts at (60, 390).
    EXPECT_TRUE (ov::test::inkBounds (image, { 0, 330, 600, 280 }, light).isEmpty());
    const auto aboutHeading = ov::test::inkBounds (image, { 0, 342, 600, 45 }, ov::test::isBrightInk);
    EXPECT_NEAR (aboutHeading.getX(), 60, 3);
    EXPECT_NEAR (aboutHeading.getCentreY(), 372, 3);
    const auto about = ov::test::inkBounds (image, { 0, 388, 600, 120 }, ov::test::isBrightInk);
    EXPECT_NEAR (about.getX(), 60, 3);
    EXPECT_NEAR (about.getY(), 390, 6);
    EXPECT_LE (about.getRight(), 540);

    // The maker's notice stands on the baseline at 88 units.
    const auto notice = ov::test::inkBounds (image, { 0, 510, 600, 19 }, ov::test::isBrightInk);
    EXPECT_NEAR (notice.getX(), 60, 3);
    EXPECT_NEAR (notice.getBottom(), 528, 1);
}

TEST_F (PanelSupport, AboutTextNamesTheSettingsFileWithAForwardSlash)
{
    EXPECT_EQ (panel.getAboutText(),
               "The Orvella Plugin Manager v1.1.0 cross-platform installater. \nFeel free to drop us a line if you have "
               "any suggestions or questions concerning its use. You can edit the default installation paths in the "
               "text file found at C:\\ProgramData\\Orvella/PluginManagerSettings.txt");

    panel.settingsFolder = {};
    EXPECT_TRUE (panel.getAboutText().endsWith (" found at /PluginManagerSettings.txt"));
}

TEST_F (PanelSupport, MailLinkCarriesSubjectAndReportBody)
{
    panel.buttonClicked (&button ("MAIL"));
    ASSERT_EQ (host->openedUrls->size(), 1);
    const auto link = (*host->openedUrls)[0];

    EXPECT_TRUE (link.startsWith ("mailto:support@orvella.example?subject="));
    EXPECT_FALSE (link.containsAnyOf (" \n"));

    const auto subject = juce::String ("Tavrin3 help");
    const auto body = "Product: Tavrin3 3.1.10\n"
                      "Operating System: " + juce::SystemStats::getOperatingSystemName() + "\n"
                      "Device: " + juce::SystemStats::getDeviceDescription() + "\n"
                      "CPU: " + juce::SystemStats::getCpuModel() + "\n"
                      "\n"
                      "Your problem, and the steps to recreate it, if possible:\n";
    EXPECT_EQ (link, "mailto:support@orvella.example?subject=" + juce::URL::addEscapeChars (subject, true)
                         + "&body=" + juce::URL::addEscapeChars (body, true));

    const auto query = decodeQuery (link);
    EXPECT_EQ (query.size(), 2);
    EXPECT_EQ (query["subject"], subject);
    EXPECT_EQ (query["body"], body);
}

TEST_F (PanelSupport, DiscordOpensTheInviteAndNeitherLinkClosesThePanel)
{
    juce::Component mainPanel;
    mainPanel.addAndMakeVisible (panel);

    panel.buttonClicked (&button ("DISCORD"));
    panel.buttonClicked (&button ("MAIL"));

    ASSERT_EQ (host->openedUrls->size(), 2);
    EXPECT_EQ ((*host->openedUrls)[0], ov::product::communityInvite);
    EXPECT_EQ (panel.getParentComponent(), &mainPanel);

    // Other names do nothing.
    juce::TextButton stranger ("Discord");
    panel.buttonClicked (&stranger);
    EXPECT_EQ (host->openedUrls->size(), 2);
}

TEST_F (PanelSupport, CloseTakesItselfOffItsParentWithoutBeingDeleted)
{
    juce::Component mainPanel;
    mainPanel.addAndMakeVisible (panel);

    panel.buttonClicked (&button ("X"));

    EXPECT_EQ (mainPanel.getNumChildComponents(), 0);
    EXPECT_EQ (panel.getParentComponent(), nullptr);
    EXPECT_EQ (panel.getNumChildComponents(), 3);
    EXPECT_TRUE (host->openedUrls->isEmpty());
}

} // namespace
