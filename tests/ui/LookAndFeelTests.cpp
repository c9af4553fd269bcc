#include "ui/PanelRig.h"

#include "BinaryData.h"

#include <cstdlib>

namespace
{

using namespace ov::palette;

TEST (CustomLookAndFeel, EveryFontRequestGetsTheEmbeddedRegularFace)
{
    CustomLookAndFeel lookAndFeel;
    const auto regular = lookAndFeel.getRegularTypeface();

    const auto embedded = juce::Typeface::createSystemTypefaceFor (BinaryData::SFProRoundedRegular_otf,
                                                                   (size_t) BinaryData::SFProRoundedRegular_otfSize);
    ASSERT_NE (regular, nullptr);
    ASSERT_NE (embedded, nullptr);
    EXPECT_EQ (regular->getName(), embedded->getName());
    EXPECT_EQ (regular->getStyle(), "Regular");

    for (const auto& options : { juce::FontOptions (20.0f, juce::Font::bold),
                                 juce::FontOptions (12.0f, juce::Font::italic | juce::Font::bold),
                                 juce::FontOptions ("DejaVu Serif", 40.0f, juce::Font::plain),
                                 juce::FontOptions (juce::Font::getDefaultMonospacedFontName(), 9.0f, juce::Font::plain) })
        EXPECT_EQ (lookAndFeel.getTypefaceForFont (juce::Font (options)), regular);
}

TEST (CustomLookAndFeel, BrokenFontDataFallsBackToTheSystemFace)
{
    const char garbage[] = "not a font at all";
    CustomLookAndFeel lookAndFeel (garbage, sizeof (garbage));

    const auto systemFace = juce::Typeface::findSystemTypeface();

    if (systemFace == nullptr)
        GTEST_SKIP() << "this machine has no font of its own";

    ASSERT_NE (lookAndFeel.getRegularTypeface(), nullptr);
    EXPECT_EQ (lookAndFeel.getRegularTypeface()->getName(), systemFace->getName());
    EXPECT_NE (lookAndFeel.getTypefaceForFont (juce::Font (juce::FontOptions (10.0f, juce::Font::bold))), nullptr);

    // Text still gets drawn.
    juce::Image image (juce::Image::RGB, 60, 30, true, juce::SoftwareImageType());
    {
        juce::Graphics g (image);
        g.setColour (juce::Colours::white);
        g.setFont (lookAndFeel.getRegularFont (24.0f));
        g.drawText ("Hg", image.getBounds(), juce::Justification::centred);
    }
    EXPECT_GT (ov::test::countPixels (image, image.getBounds(), juce::Colours::white, 127), 20);
}

TEST (CustomLookAndFeel, PopupMenuFontIsThirtyPixelsWithExtraKerning)
{
    CustomLookAndFeel lookAndFeel;
    const auto font = lookAndFeel.getPopupMenuFont();

    EXPECT_FLOAT_EQ (font.getHeight(), 30.0f);
    EXPECT_FLOAT_EQ (font.getExtraKerningFactor(), 0.1f);
    EXPECT_FLOAT_EQ (font.getHorizontalScale(), 1.0f);
    EXPECT_FALSE (font.isBold() || font.isItalic());
    EXPECT_EQ (font.getTypefaceName(), juce::Font::getDefaultSansSerifFontName());
}

TEST (CustomLookAndFeel, ComboBoxIsADarkPillWithItsTextOverTheWholeWidth)
{
    CustomLookAndFeel lookAndFeel;
    juce::ComboBox box;
    box.setSize (200, 20);

    juce::Label label;
    label.setJustificationType (juce::Justification::left);
    lookAndFeel.positionComboBoxText (box, label);

    EXPECT_EQ (label.getBounds(), juce::Rectangle<int> (1, 1, 200, 18));
    EXPECT_FLOAT_EQ (label.getFont().getHeight(), 14.0f);
    EXPECT_EQ (label.getJustificationType(), juce::Justification::centred);

    juce::Image image (juce::Image::ARGB, 200, 20, true, juce::SoftwareImageType());
    {
        juce::Graphics g (image);
        lookAndFeel.drawComboBox (g, 200, 20, true, 170, 0, 30, 20, box);
    }

    // Corner 10 makes round ends: (2, 2) lies outside them; a corner of 5 would fill it.
    EXPECT_LT (image.getPixelAt (2, 2).getAlpha(), 40);
    EXPECT_LT (image.getPixelAt (197, 17).getAlpha(), 40);
    EXPECT_EQ (image.getPixelAt (10, 10), darkInkColour);
    EXPECT_EQ (image.getPixelAt (100, 0), darkInkColour);

    // No arrow, no outline: the whole button area is the same ink.
    for (int x = 170; x < 188; ++x)
        for (int y = 2; y < 18; ++y)
            ASSERT_EQ (image.getPixelAt (x, y), darkInkColour) << x << ", " << y;
}

TEST (CustomLookAndFeel, StockWidgetsTakeThePalette)
{
    CustomLookAndFeel lookAndFeel;

    const juce::Colour halfGreen { 0x8086cf7au };
    const std::pair<int, juce::Colour> colours[] {
        { juce::PopupMenu::backgroundColourId, backgroundColour }, { juce::PopupMenu::highlightedBackgroundColourId, halfGreen },
        { juce::PopupMenu::textColourId, lightTextColour }, { juce::PopupMenu::highlightedTextColourId, lightTextColour },
        { juce::AlertWindow::backgroundColourId, backgroundColour }, { juce::AlertWindow::textColourId, greyTextColour },
        { juce::PropertyComponent::labelTextColourId, halfGreen }, { juce::ScrollBar::thumbColourId, greyTextColour },
        { juce::ResizableWindow::backgroundColourId, backgroundColour }, { juce::TextEditor::backgroundColourId, backgroundColour },
        { juce::ListBox::backgroundColourId, backgroundColour }, { juce::TextButton::buttonColourId, backgroundColour },
        { juce::Label::textColourId, lightTextColour },
    };

    for (const auto& [id, colour] : colours)
        EXPECT_EQ (lookAndFeel.findColour (id).getARGB(), colour.getARGB()) << std::hex << id;

    // Everything else stays as the dark scheme has it.
    EXPECT_EQ (lookAndFeel.findColour (juce::TextEditor::textColourId),
               juce::LookAndFeel_V4().findColour (juce::TextEditor::textColourId));
}

TEST (CustomLookAndFeel, CharactersTheEmbeddedFaceLacksComeFromASystemFaceThatHasThem)
{
    const CustomLookAndFeel lookAndFeel;
    const auto regular = lookAndFeel.getRegularTypeface();
    ASSERT_NE (regular, nullptr);

    // A folder path as a user may bring it, ending in Greek, which the embedded face does not hold.
    const auto path = juce::String::fromUTF8 ("/home/\xce\xb1\xce\xb2\xce\xb3");
    const auto greek = path.getLastCharacter();
    ASSERT_FALSE (regular->getNominalGlyphForCodepoint (greek).has_value());

    if (regular->createSystemFallback (juce::String::charToString (greek), {}) == nullptr)
        GTEST_SKIP() << "no installed font holds Greek";

    const auto draw = [&] (bool fallback)
    {
        auto font = lookAndFeel.getRegularFont (20.0f);
        font.setFallbackEnabled (fallback);
        juce::Image image (juce::Image::RGB, 160, 30, true, juce::SoftwareImageType());
        juce::Graphics g (image);
        g.setColour (juce::Colours::white);
        g.setFont (font);
        g.drawSingleLineText (path, 2, 22);
        return image;
    };

    // Without the fallback the letters would be the embedded face's empty boxes.
    const auto shown = draw (true), boxes = draw (false);
    const auto lettersStart = 2 + juce::roundToInt (juce::GlyphArrangement::getStringWidth (lookAndFeel.getRegularFont (20.0f), "/home/"));
    const juce::Rectangle<int> letters (lettersStart, 0, 160 - lettersStart, 30);
    EXPECT_GT (ov::test::countPixels (shown, letters, juce::Colours::white, 127), 20);

    int differing = 0;

    for (int y = 0; y < shown.getHeight(); ++y)
        for (int x = letters.getX(); x < letters.getRight(); ++x)
            differing += shown.getPixelAt (x, y) != boxes.getPixelAt (x, y) ? 1 : 0;

    EXPECT_GT (differing, 20);
}

#if JUCE_LINUX || JUCE_BSD
// In a process of its own, where the look-and-feel makes the first typeface, as it does in the program.
TEST (CustomLookAndFeelDeathTest, MakingTheFaceOpensNoInstalledFont)
{
    GTEST_FLAG_SET (death_test_style, "threadsafe");

    EXPECT_EXIT ({
        const CustomLookAndFeel lookAndFeel;
        // The framework lists the families of the files it opened: the embedded face alone.
        const auto families = juce::Font::findAllTypefaceNames();
        const auto onlyOwnFace = families == juce::StringArray (lookAndFeel.getRegularTypeface()->getName());
        // Nor do programs started later (the web browser) inherit what told the framework so.
        std::_Exit (onlyOwnFace && std::getenv ("JUCE_FONT_PATH") == nullptr ? 0 : 1);
    }, ::testing::ExitedWithCode (0), "");
}
#endif

} // namespace
