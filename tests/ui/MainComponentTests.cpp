#include "ui/PanelRig.h"

namespace
{

using MainComponentLayout = ov::test::PanelRig;

// The controls in the order the panel adds them.
const char* const controlOrder[] { "EULA", "MANUAL", "WEBSITE", "SUPPORT", "VST3", "CLAP", "AAX", "INSTALL", "SELECT_ALL" };

TEST_F (MainComponentLayout, StartsAsASixHundredPixelSquare)
{
    panel = std::make_unique<MainComponent> (host);
    EXPECT_EQ (panel->getBounds(), juce::Rectangle<int> (600, 600));
    EXPECT_FLOAT_EQ (panel->getLayoutUnit(), 6.0f);
}

// At 700 some edges fall on halves (108.5, 269.5, 514.5), which go to the even neighbour.
TEST_F (MainComponentLayout, PlacesEveryControlAtThreeSizes)
{
    struct Layout
    {
        int size;
        juce::Rectangle<int> controls[std::size (controlOrder)], helpLine;
    };

    const Layout layouts[] {
        { 600, { { 24, 441, 60, 60 }, { 93, 441, 60, 60 }, { 162, 441, 60, 60 }, { 231, 441, 60, 60 },
                 { 24, 180, 270, 60 }, { 306, 180, 270, 60 }, { 24, 252, 270, 60 }, { 516, 441, 60, 60 }, { 462, 132, 114, 30 } },
          { 24, 540, 552, 18 } },
        { 700, { { 28, 514, 70, 70 }, { 108, 514, 70, 70 }, { 189, 514, 70, 70 }, { 270, 514, 70, 70 },
                 { 28, 210, 315, 70 }, { 357, 210, 315, 70 }, { 28, 294, 315, 70 }, { 602, 514, 70, 70 }, { 539, 154, 133, 35 } },
          { 28, 630, 644, 21 } },
        { 800, { { 32, 588, 80, 80 }, { 124, 588, 80, 80 }, { 216, 588, 80, 80 }, { 308, 588, 80, 80 },
                 { 32, 240, 360, 80 }, { 408, 240, 360, 80 }, { 32, 336, 360, 80 }, { 688, 588, 80, 80 }, { 616, 176, 152, 40 } },
          { 32, 720, 736, 24 } },
    };

    for (const auto& layout : layouts)
    {
        auto& shown = makePanel (layout.size);
        EXPECT_FLOAT_EQ (shown.getLayoutUnit(), (float) layout.size * 0.01f);

        for (size_t i = 0; i < std::size (controlOrder); ++i)
            EXPECT_EQ (control (controlOrder[i]).getBounds(), layout.controls[i]) << controlOrder[i] << " at " << layout.size;

        auto* help = dynamic_cast<juce::Label*> (shown.getChildComponent (9));
        ASSERT_NE (help, nullptr);
        EXPECT_EQ (help->getBounds(), layout.helpLine) << layout.size;
        EXPECT_FLOAT_EQ (help->getFont().getHeight(), (float) layout.helpLine.getHeight());
    }
}

TEST_F (MainComponentLayout, ChildrenAreNineTransparentButtonsUnderTheHelpLine)
{
    auto& shown = makePanel();
    ASSERT_EQ (shown.getNumChildComponents(), 10);

    for (int i = 0; i < (int) std::size (controlOrder); ++i)
    {
        auto* button = dynamic_cast<juce::TextButton*> (shown.getChildComponent (i));
        ASSERT_NE (button, nullptr);
        EXPECT_EQ (button->getName(), controlOrder[i]);
        EXPECT_EQ (button->getAlpha(), 0.0f);
        EXPECT_TRUE (button->isVisible());
        EXPECT_TRUE (button->getButtonText().isEmpty());
    }

    auto* help = dynamic_cast<juce::Label*> (shown.getChildComponent (9));
    ASSERT_NE (help, nullptr);
    EXPECT_EQ (help->getText(), "1.1.0");
    EXPECT_EQ (help->getJustificationType(), juce::Justification::centred);
}

TEST_F (MainComponentLayout, InstalledFormatsStartSelected)
{
    makeBundle (0);
    makeBundle (2);
    auto& shown = makePanel();

    EXPECT_TRUE (shown.isFormatSelected (0));
    EXPECT_FALSE (shown.isFormatSelected (1));
    EXPECT_TRUE (shown.isFormatSelected (2));
}

TEST_F (MainComponentLayout, IsTheApplicationsLookAndFeelWhileItLives)
{
    auto& shown = makePanel();
    EXPECT_NE (dynamic_cast<CustomLookAndFeel*> (&juce::LookAndFeel::getDefaultLookAndFeel()), nullptr);
    EXPECT_NE (dynamic_cast<CustomLookAndFeel*> (&shown.getLookAndFeel()), nullptr);

    panel.reset();
    EXPECT_EQ (dynamic_cast<CustomLookAndFeel*> (&juce::LookAndFeel::getDefaultLookAndFeel()), nullptr);
}

} // namespace
