#include "product/ProductManifest.h"
#include "support/Sandbox.h"
#include "ui/OverlayTestSupport.h"
#include "ui/panel_support.h"

#include <gtest/gtest.h>

using namespace ov::palette;
using ov::test::colourNear;
using ov::test::decodeQuery;
using ov::test::over;

namespace
{

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
        if (auto* found = ov::test::findButton (panel, name))
            return *found;

        ADD_FAILURE() << "no button " << name;
        throw std::runtime_error ("missing button");
    }

    ov::test::ScopedProgramLook look;
    ov::test::Sandbox sandbox;
    std::shared_ptr<ov::test::SandboxHost> host = std::make_shared<ov::test::SandboxHost> (sandbox);
    panel_support panel;
};

TEST_F (PanelSupport, LaysOutItsButtonsInUnits)
{
    ov::test::expectBoundsAt600And900 (panel, { { &button ("X"), { 528, 9, 48, 48 }, { 792, 14, 72, 72 } },
                                                { &button ("DISCORD"), { 60, 90, 60, 60 }, { 90, 135, 90, 90 } },
                                                { &button ("MAIL"), { 60, 210, 60, 60 }, { 90, 315, 90, 90 } } });
}

TEST_F (PanelSupport, KeyboardGoesRoundTheLinksThenTheCloseButton)
{
    ov::test::expectKeyboardStaysWithin (panel, { &button ("DISCORD"), &button ("MAIL"), &button ("X") });
}

TEST_F (PanelSupport, LinkButtonsAreInvisibleAndTheirFacesFollowHoverAndPress)
{
    ov::test::layOutAndPaint (panel, 600);

    for (const auto& [name, title, description] : { std::tuple { "DISCORD", "Discord", "The Orvella Discord is a vibrant community" },
                                                    std::tuple { "MAIL", "E-mail", "If you have more complicated questions" } })
    {
        SCOPED_TRACE (name);
        auto& b = button (name);
        EXPECT_FLOAT_EQ (b.getAlpha(), 0.0f);
        EXPECT_TRUE (b.isVisible());
        EXPECT_EQ (b.getTitle(), title);
        EXPECT_TRUE (b.getDescription().startsWith (description));

        // A point of the face left of its icon, which is inset by two units.
        const juce::Point<int> p (b.getX() + 3, b.getBounds().getCentreY());

        for (const auto& [state, face] : { std::pair { juce::Button::buttonNormal, over (greyTextColour, 0x80) },
                                           std::pair { juce::Button::buttonOver, over (greyTextColour, 0xbf) },
                                           std::pair { juce::Button::buttonDown, accentGreenColour } })
        {
            b.setState (state);
            EXPECT_TRUE (colourNear (ov::test::layOutAndPaint (panel, 600).getPixelAt (p.x, p.y), face)) << state;
        }

        b.setState (juce::Button::buttonNormal);
    }

    // Hovering one face leaves the other at rest.
    button ("MAIL").setState (juce::Button::buttonOver);
    const auto image = ov::test::layOutAndPaint (panel, 600);
    EXPECT_TRUE (colourNear (image.getPixelAt (63, 120), over (greyTextColour, 0x80)));
    EXPECT_TRUE (colourNear (image.getPixelAt (63, 240), over (greyTextColour, 0xbf)));
}

TEST_F (PanelSupport, CloseButtonTakesThePanelOffAndOpensNothing)
{
    ov::test::expectCloseButtonWorks (panel);
    EXPECT_TRUE (host->openedUrls->isEmpty());
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
    using R = juce::Rectangle<int>;

    // Headings left-aligned at ten units and centred in their ten-unit boxes, the two link headings light, the about
    // one grey; body texts twelve units right of their faces, at the faces' tops; the about text at (60, 390); the
    // maker's notice on the baseline at 88 units.
    const struct
    {
        const char* what;
        R area;
        bool (*isInk) (juce::Colour);
        int x;
        int (R::*edge)() const noexcept;
        int at, tolerance, rightLimit;
    } texts[] {
        { "discord heading", { 0, 30, 600, 60 },   ov::test::isLightInk,  60,  &R::getCentreY, 72,  3, 600 },
        { "mail heading",    { 0, 150, 600, 60 },  ov::test::isLightInk,  60,  &R::getCentreY, 192, 3, 600 },
        { "community text",  { 125, 85, 475, 80 }, ov::test::isBrightInk, 132, &R::getY,       90,  6, 552 },
        { "about heading",   { 0, 342, 600, 45 },  ov::test::isBrightInk, 60,  &R::getCentreY, 372, 3, 600 },
        { "about text",      { 0, 388, 600, 120 }, ov::test::isBrightInk, 60,  &R::getY,       390, 6, 540 },
        { "maker's notice",  { 0, 510, 600, 19 },  ov::test::isBrightInk, 60,  &R::getBottom,  528, 1, 600 },
    };

    for (const auto& text : texts)
    {
        const auto ink = ov::test::inkBounds (image, text.area, text.isInk);
        EXPECT_FALSE (ink.isEmpty()) << text.what;
        EXPECT_NEAR (ink.getX(), text.x, 3) << text.what;
        EXPECT_NEAR ((ink.*text.edge)(), text.at, text.tolerance) << text.what;
        EXPECT_LE (ink.getRight(), text.rightLimit) << text.what;
    }

    EXPECT_TRUE (ov::test::inkBounds (image, { 0, 330, 600, 280 }, ov::test::isLightInk).isEmpty());
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

TEST_F (PanelSupport, LinksOpenTheInviteAndAMailWithSubjectAndReportBodyAndLeaveThePanelOpen)
{
    juce::Component mainPanel;
    mainPanel.addAndMakeVisible (panel);

    panel.buttonClicked (&button ("DISCORD"));
    panel.buttonClicked (&button ("MAIL"));

    ASSERT_EQ (host->openedUrls->size(), 2);
    EXPECT_EQ ((*host->openedUrls)[0], ov::product::communityInvite);
    EXPECT_EQ (panel.getParentComponent(), &mainPanel);

    const auto link = (*host->openedUrls)[1];
    EXPECT_TRUE (link.startsWith ("mailto:support@orvella.example?subject="));
    EXPECT_FALSE (link.containsAnyOf (" \n"));

    const auto query = decodeQuery (link);
    EXPECT_EQ (query.size(), 2);
    EXPECT_EQ (query["subject"], "Tavrin3 help");
    EXPECT_EQ (query["body"], "Product: Tavrin3 3.1.10\n"
                              "Operating System: " + juce::SystemStats::getOperatingSystemName() + "\n"
                              "Device: " + juce::SystemStats::getDeviceDescription() + "\n"
                              "CPU: " + juce::SystemStats::getCpuModel() + "\n"
                              "\n"
                              "Your problem, and the steps to recreate it, if possible:\n");

    // Other names do nothing.
    juce::TextButton stranger ("Discord");
    panel.buttonClicked (&stranger);
    EXPECT_EQ (host->openedUrls->size(), 2);
}

} // namespace
