#include "ui/PanelRig.h"

namespace
{

using ov::test::PanelRig;

struct Placement
{
    const char* name;
    juce::Rectangle<int> bounds;
};

class MainComponentLayout : public PanelRig
{
protected:
    void expectLayout (int size, std::initializer_list<Placement> placements, juce::Rectangle<int> helpLine)
    {
        auto& shown = makePanel (size);
        EXPECT_FLOAT_EQ (shown.getLayoutUnit(), (float) size * 0.01f);

        for (const auto& placement : placements)
            EXPECT_EQ (control (placement.name).getBounds(), placement.bounds) << placement.name << " at " << size;

        for (auto* child : shown.getChildren())
            if (auto* label = dynamic_cast<juce::Label*> (child))
            {
                EXPECT_EQ (label->getBounds(), helpLine);
                EXPECT_FLOAT_EQ (label->getFont().getHeight(), (float) helpLine.getHeight());
            }
    }
};

TEST (LayoutRounding, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ (juce::roundToInt (108.5f), 108);
    EXPECT_EQ (juce::roundToInt (269.5f), 270);
    EXPECT_EQ (juce::roundToInt (514.5f), 514);
    EXPECT_EQ (juce::roundToInt (13.5f), 14);
}

TEST_F (MainComponentLayout, StartsAsASixHundredPixelSquare)
{
    panel = std::make_unique<MainComponent> (host);
    EXPECT_EQ (panel->getWidth(), 600);
    EXPECT_EQ (panel->getHeight(), 600);
    EXPECT_FLOAT_EQ (panel->getLayoutUnit(), 6.0f);
}

TEST_F (MainComponentLayout, SixHundred)
{
    expectLayout (600, { { "EULA",       { 24, 441, 60, 60 } },
                         { "MANUAL",     { 93, 441, 60, 60 } },
                         { "WEBSITE",    { 162, 441, 60, 60 } },
                         { "SUPPORT",    { 231, 441, 60, 60 } },
                         { "INSTALL",    { 516, 441, 60, 60 } },
                         { "SELECT_ALL", { 462, 132, 114, 30 } },
                         { "VST3",       { 24, 180, 270, 60 } },
                         { "CLAP",       { 306, 180, 270, 60 } },
                         { "AAX",        { 24, 252, 270, 60 } } },
                  { 24, 540, 552, 18 });
}

TEST_F (MainComponentLayout, SevenHundredRoundsHalvesToEven)
{
    expectLayout (700, { { "EULA",       { 28, 514, 70, 70 } },
                         { "MANUAL",     { 108, 514, 70, 70 } },
                         { "WEBSITE",    { 189, 514, 70, 70 } },
                         { "SUPPORT",    { 270, 514, 70, 70 } },
                         { "INSTALL",    { 602, 514, 70, 70 } },
                         { "SELECT_ALL", { 539, 154, 133, 35 } },
                         { "VST3",       { 28, 210, 315, 70 } },
                         { "CLAP",       { 357, 210, 315, 70 } },
                         { "AAX",        { 28, 294, 315, 70 } } },
                  { 28, 630, 644, 21 });
}

TEST_F (MainComponentLayout, EightHundredScalesEverything)
{
    expectLayout (800, { { "EULA",       { 32, 588, 80, 80 } },
                         { "MANUAL",     { 124, 588, 80, 80 } },
                         { "WEBSITE",    { 216, 588, 80, 80 } },
                         { "SUPPORT",    { 308, 588, 80, 80 } },
                         { "INSTALL",    { 688, 588, 80, 80 } },
                         { "SELECT_ALL", { 616, 176, 152, 40 } },
                         { "VST3",       { 32, 240, 360, 80 } },
                         { "CLAP",       { 408, 240, 360, 80 } },
                         { "AAX",        { 32, 336, 360, 80 } } },
                  { 32, 720, 736, 24 });
}

TEST_F (MainComponentLayout, ChildrenAreNineTransparentButtonsUnderTheHelpLine)
{
    auto& shown = makePanel();
    const juce::StringArray order { "EULA", "MANUAL", "WEBSITE", "SUPPORT", "VST3", "CLAP", "AAX", "INSTALL", "SELECT_ALL" };

    ASSERT_EQ (shown.getNumChildComponents(), 10);

    for (int i = 0; i < order.size(); ++i)
    {
        auto* button = dynamic_cast<juce::TextButton*> (shown.getChildComponent (i));
        ASSERT_NE (button, nullptr);
        EXPECT_EQ (button->getName(), order[i]);
        EXPECT_EQ (button->getAlpha(), 0.0f);
        EXPECT_TRUE (button->isVisible());
        EXPECT_TRUE (button->getButtonText().isEmpty());
    }

    auto* help = dynamic_cast<juce::Label*> (shown.getChildComponent (9));
    ASSERT_NE (help, nullptr);
    EXPECT_EQ (help->getText(), "1.1.0");
    EXPECT_EQ (help->getJustificationType(), juce::Justification::centred);
    EXPECT_EQ (help->findColour (juce::Label::textColourId).getARGB(), 0x80aaa6a6u);
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

    shown.setSize (700, 700);
    EXPECT_FLOAT_EQ (dynamic_cast<CustomLookAndFeel&> (shown.getLookAndFeel()).getPopupMenuFont().getHeight(), 30.0f);

    panel.reset();
    EXPECT_EQ (dynamic_cast<CustomLookAndFeel*> (&juce::LookAndFeel::getDefaultLookAndFeel()), nullptr);
}

} // namespace
