#include "BinaryData.h"
#include "host/PeVersionReader.h"
#include "product/ProductManifest.h"
#include "ui/PanelRig.h"

namespace
{
//==============================================================================
struct ArchiveCase
{
    const char* name;
    const char* data;
    int size;
    const char* bundle;
    std::vector<const char*> entries;
    const char* module;   // the entry whose file version the installer reads
    const char* version;  // what that entry reports: the CLAP module carries no version resource
};

const std::vector<ArchiveCase>& archiveCases()
{
    static const std::vector<ArchiveCase> cases {
        { "vst3", BinaryData::vst3_zip, BinaryData::vst3_zipSize, "Tavrin3.vst3",
          { "Tavrin3.vst3\\Contents\\", "Tavrin3.vst3\\desktop.ini", "Tavrin3.vst3\\Plugin.ico",
            "Tavrin3.vst3\\Contents\\Resources\\moduleinfo.json", "Tavrin3.vst3\\Contents\\x86_64-win\\Tavrin3.vst3" },
          "Tavrin3.vst3\\Contents\\x86_64-win\\Tavrin3.vst3", "3.1.10.0" },
        { "clap", BinaryData::clap_zip, BinaryData::clap_zipSize, "Tavrin3.clap",
          { "Tavrin3.clap" }, "Tavrin3.clap", "" },
        { "aax", BinaryData::aax_zip, BinaryData::aax_zipSize, "Tavrin3.aaxplugin",
          { "Tavrin3.aaxplugin\\Contents\\", "Tavrin3.aaxplugin\\desktop.ini", "Tavrin3.aaxplugin\\Plugin.ico",
            "Tavrin3.aaxplugin\\Contents\\x64\\Tavrin3.aaxplugin" },
          "Tavrin3.aaxplugin\\Contents\\x64\\Tavrin3.aaxplugin", "3.1.10.0" },
    };
    return cases;
}

juce::MemoryBlock readEntry (juce::ZipFile& zip, const juce::String& name)
{
    juce::MemoryBlock block;
    const auto index = zip.getIndexOfFileName (name);

    if (index >= 0)
        if (std::unique_ptr<juce::InputStream> stream { zip.createStreamForEntry (index) })
            stream->readIntoMemoryBlock (block);

    return block;
}

uint16_t readU16 (const juce::MemoryBlock& b, size_t at)  { return (uint16_t) juce::ByteOrder::littleEndianShort (b.begin() + at); }
uint32_t readU32 (const juce::MemoryBlock& b, size_t at)  { return juce::ByteOrder::littleEndianInt (b.begin() + at); }

/** Checks the headers a 64-bit Windows loader looks at first: MZ stub, PE signature, x86-64 machine,
    a DLL image and the PE32+ optional header. */
void expectX64Dll (const juce::MemoryBlock& module)
{
    ASSERT_GT (module.getSize(), 0x200u);
    EXPECT_EQ (readU16 (module, 0), 0x5a4d); // "MZ"

    const auto pe = (size_t) readU32 (module, 0x3c);
    ASSERT_LT (pe + 24 + 2, module.getSize());
    EXPECT_EQ (readU32 (module, pe), 0x00004550u);          // "PE\0\0"
    EXPECT_EQ (readU16 (module, pe + 4), 0x8664);           // machine: x86-64
    EXPECT_NE (readU16 (module, pe + 22) & 0x2000, 0);      // characteristics: DLL
    EXPECT_EQ (readU16 (module, pe + 24), 0x20b);           // optional header: PE32+
}

void PrintTo (const ArchiveCase& c, std::ostream* os)  { *os << c.name; }

class Archive : public ::testing::TestWithParam<ArchiveCase>
{
protected:
    juce::ZipFile zip { new juce::MemoryInputStream (GetParam().data, (size_t) GetParam().size, false), true };
    const juce::String bundle { GetParam().bundle };
};

TEST_P (Archive, HoldsExactlyTheBundleEntriesEachReadableUnderOneName)
{
    juce::StringArray names, expected;

    for (auto* name : GetParam().entries)
        expected.add (name);

    for (int i = 0; i < zip.getNumEntries(); ++i)
    {
        const auto& entry = *zip.getEntry (i);
        SCOPED_TRACE (entry.filename);
        names.add (entry.filename);

        EXPECT_EQ (entry.filename.upToFirstOccurrenceOf ("\\", false, false), bundle);
        EXPECT_FALSE (entry.isSymbolicLink);
        EXPECT_EQ (entry.uncompressedSize, entry.filename.endsWithChar ('\\') ? 0 : (juce::int64) readEntry (zip, entry.filename).getSize());
    }

    names.sort (false);
    expected.sort (false);
    EXPECT_EQ (names, expected);
}

TEST_P (Archive, ModuleIsAnX64DllWithThePluginVersion)
{
    const auto module = readEntry (zip, GetParam().module);
    expectX64Dll (module);

    ov::PeMemorySource source (module.getData(), module.getSize());
    EXPECT_EQ (ov::readPeFileVersion (source), GetParam().version);
}

class FolderArchive : public Archive {};

TEST_P (FolderArchive, CarriesTheFolderIcon)
{
    const auto ini = readEntry (zip, bundle + "\\desktop.ini").toString();
    EXPECT_EQ (ini, "[.ShellClassInfo]\r\nIconResource=Plugin.ico,0\r\nIconFile=Plugin.ico\r\nIconIndex=0\r\n");

    // An icon directory: reserved 0, type 1 (icon), at least one image, each image inside the file.
    const auto ico = readEntry (zip, bundle + "\\Plugin.ico");
    ASSERT_GE (ico.getSize(), 22u);
    EXPECT_EQ (readU16 (ico, 0), 0);
    EXPECT_EQ (readU16 (ico, 2), 1);
    const auto count = readU16 (ico, 4);
    ASSERT_GE (count, 1);
    ASSERT_GE (ico.getSize(), 6u + 16u * count);

    for (size_t i = 0; i < count; ++i)
        EXPECT_LE ((size_t) readU32 (ico, 6 + 16 * i + 12) + readU32 (ico, 6 + 16 * i + 8), ico.getSize());

    if (bundle.endsWith (".vst3"))
    {
        const auto json = juce::JSON::parse (readEntry (zip, bundle + "\\Contents\\Resources\\moduleinfo.json").toString());
        EXPECT_EQ (json["Version"].toString(), "3.1.10");
        EXPECT_EQ (json["Name"].toString(), "Tavrin3");
    }
}

const auto caseName = [] (const auto& testInfo) { return std::string (testInfo.param.name); };

INSTANTIATE_TEST_SUITE_P (Resources, Archive, ::testing::ValuesIn (archiveCases()), caseName);
INSTANTIATE_TEST_SUITE_P (Resources, FolderArchive, ::testing::Values (archiveCases()[0], archiveCases()[2]), caseName);

//==============================================================================
TEST (Resources, TheFormatTableNamesTheFilesOfTheIdentifiersTheProgramUses)
{
    // The program reaches each format's archive and icon by these identifiers; the format table names their files.
    const std::pair<const char*, const char*> used[] = {
        { BinaryData::vst3_zip, BinaryData::icon_vst3_svg },
        { BinaryData::clap_zip, BinaryData::icon_clap_svg },
        { BinaryData::aax_zip, BinaryData::icon_aax_svg },
    };
    ASSERT_EQ ((int) std::size (used), ov::product::numFormats);

    const auto byFileName = [] (const char* fileName) -> const char*
    {
        for (int i = 0; i < BinaryData::namedResourceListSize; ++i)
            if (juce::String (BinaryData::originalFilenames[i]) == fileName)
            {
                int size = 0;
                return BinaryData::getNamedResource (BinaryData::namedResourceList[i], size);
            }

        return nullptr;
    };

    for (size_t i = 0; i < std::size (used); ++i)
    {
        EXPECT_EQ (byFileName (ov::product::formats[i].archive), used[i].first) << i;
        EXPECT_EQ (byFileName (ov::product::formats[i].icon), used[i].second) << i;
    }
}

//==============================================================================
TEST (Resources, TypefacesLoadFromMemoryAndDrawText)
{
    const std::pair<const char*, int> fonts[] = {
        { BinaryData::SFProRoundedRegular_otf, BinaryData::SFProRoundedRegular_otfSize },
        { BinaryData::SFProRoundedSemibold_otf, BinaryData::SFProRoundedSemibold_otfSize },
    };
    juce::StringArray styles;

    for (const auto& [data, size] : fonts)
    {
        // CFF-flavoured OpenType starts with the tag "OTTO".
        ASSERT_GT (size, 4);
        EXPECT_EQ (juce::String (data, 4), "OTTO");

        const auto typeface = juce::Typeface::createSystemTypefaceFor (data, (size_t) size);
        ASSERT_NE (typeface, nullptr);
        styles.add (typeface->getStyle());

        juce::GlyphArrangement glyphs;
        glyphs.addLineOfText (juce::Font (juce::FontOptions (typeface).withHeight (20.0f)), "TAVRIN3 Version 3.1.10", 0, 0);
        EXPECT_GT (glyphs.getBoundingBox (0, -1, true).getWidth(), 100.0f);
    }

    EXPECT_EQ (styles[0], "Regular");
    EXPECT_TRUE (styles[1].containsIgnoreCase ("bold")) << styles[1];
}

//==============================================================================
struct IconCase
{
    const char* name;
    const char* data;
    int size;
    juce::Rectangle<float> viewBox;
    bool takesInk; // drawn in opaque black, which the program turns into its dark ink
};

void PrintTo (const IconCase& c, std::ostream* os)  { *os << c.name; }

const juce::Rectangle<float> square32 { 32.0f, 32.0f }, square256 { 256.0f, 256.0f };

#define OV_ICON(id, box, ink) IconCase { #id, BinaryData::id, BinaryData::id##Size, box, ink }

const std::vector<IconCase>& iconCases()
{
    static const std::vector<IconCase> cases {
        OV_ICON (icon_aax_svg, square32, true), OV_ICON (icon_auv2_svg, square32, true), OV_ICON (icon_auv3_svg, square32, true),
        OV_ICON (icon_clap_svg, square32, true), OV_ICON (icon_lv2_svg, square32, true), OV_ICON (icon_vst3_svg, square32, true),
        OV_ICON (icon_discord_svg, square256, true), OV_ICON (icon_eula_svg, square256, true), OV_ICON (icon_help_svg, square256, true),
        OV_ICON (icon_install_svg, square256, true), OV_ICON (icon_manual_svg, square256, true), OV_ICON (icon_web_svg, square256, true),
        OV_ICON (icon_mail_svg, square256, false), OV_ICON (icon_success_svg, square256, false), OV_ICON (icon_warning_svg, square256, false),
        OV_ICON (logo_orvella_svg, (juce::Rectangle<float> { 1000.0f, 131.0f }), true),
    };
    return cases;
}

#undef OV_ICON

const juce::Colour opaqueBlack { 0xff000000 };
const auto& darkInk = ov::palette::darkInkColour;

std::unique_ptr<juce::Drawable> parse (const IconCase& c)
{
    return juce::Drawable::createFromImageData (c.data, (size_t) c.size);
}

std::unique_ptr<juce::Drawable> parse (const juce::String& name)
{
    for (const auto& c : iconCases())
        if (name == c.name)
            return parse (c);

    return {};
}

juce::Image paint (const juce::Drawable& drawable, int width, int height)
{
    juce::Image image (juce::Image::ARGB, width, height, true, juce::SoftwareImageType());
    juce::Graphics g (image);
    drawable.drawWithin (g, image.getBounds().toFloat(), juce::RectanglePlacement::centred, 1.0f);
    return image;
}

/** Opaque pixels of the given colour, allowing for the rounding of overlapping antialiased edges. */
int countOpaque (const juce::Image& image, juce::Colour colour)
{
    int n = 0;

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (const auto p = image.getPixelAt (x, y); p.getAlpha() == 255 && ov::test::colourNear (p, colour, 2))
                ++n;

    return n;
}

class Icon : public ::testing::TestWithParam<IconCase> {};

TEST_P (Icon, ParsesWithItsViewBox)
{
    const auto drawable = parse (GetParam());
    auto* composite = dynamic_cast<juce::DrawableComposite*> (drawable.get());
    ASSERT_NE (composite, nullptr);
    EXPECT_EQ (composite->getContentArea(), GetParam().viewBox);
    EXPECT_FALSE (composite->getDrawableBounds().isEmpty());
}

TEST_P (Icon, InkFollowsTheRecolouringRule)
{
    const auto drawable = parse (GetParam());
    ASSERT_NE (drawable, nullptr);

    const auto height = GetParam().viewBox.getAspectRatio() > 2.0f ? 17 : 128;
    const auto before = paint (*drawable, 128, height);

    drawable->replaceColour (opaqueBlack, darkInk);
    const auto after = paint (*drawable, 128, height);

    // The program replaces opaque black once after loading: all ink must be exactly that black,
    // and icons in colours of their own must come through unchanged.
    EXPECT_EQ (countOpaque (after, opaqueBlack), 0);

    if (GetParam().takesInk)
    {
        EXPECT_GT (countOpaque (before, opaqueBlack), 0);
        EXPECT_EQ (countOpaque (after, darkInk), countOpaque (before, opaqueBlack));
    }
    else
    {
        EXPECT_TRUE (ov::test::samePixels (before, after));
    }
}

INSTANTIATE_TEST_SUITE_P (Resources, Icon, ::testing::ValuesIn (iconCases()), caseName);

TEST (Resources, FormatBadgesShowOnlyTheirOwnLayer)
{
    for (const auto& c : iconCases())
    {
        if (c.viewBox != square32)
            continue;

        SCOPED_TRACE (c.name);
        const auto drawable = parse (c);
        ASSERT_NE (drawable, nullptr);

        // Every file keeps all six layers; only the one named after the file is shown.
        const auto wanted = "layer-" + juce::String (c.name).fromFirstOccurrenceOf ("icon_", false, false)
                                                            .upToFirstOccurrenceOf ("_svg", false, false);
        juce::StringArray layers, visible;

        for (auto* child : drawable->getChildren())
            if (child->getName().startsWith ("layer-"))
                (child->isVisible() ? visible : layers).add (child->getName());

        EXPECT_EQ (layers.size() + visible.size(), 6);
        EXPECT_EQ (visible, juce::StringArray (wanted));
    }
}

TEST (Resources, InstallIconTurnsDarkInkAndGreenForSuccess)
{
    const auto drawable = parse ("icon_install_svg");
    ASSERT_NE (drawable, nullptr);

    drawable->replaceColour (opaqueBlack, darkInk);
    EXPECT_GT (countOpaque (paint (*drawable, 96, 96), darkInk), 96 * 96 / 5);

    // The success display recolours the ink green and back.
    const auto& green = ov::palette::accentGreenColour;
    ASSERT_TRUE (drawable->replaceColour (darkInk, green));
    const auto image = paint (*drawable, 96, 96);
    EXPECT_EQ (countOpaque (image, darkInk), 0);
    EXPECT_GT (countOpaque (image, green), 96 * 96 / 5);
    EXPECT_TRUE (drawable->replaceColour (green, darkInk));
}

TEST (Resources, MailIconKeepsItsOwnInk)
{
    const auto drawable = parse ("icon_mail_svg");
    ASSERT_NE (drawable, nullptr);
    drawable->replaceColour (opaqueBlack, darkInk);

    const auto image = paint (*drawable, 96, 96);
    EXPECT_GT (countOpaque (image, juce::Colour (0xff1d1d1b)), 0);
    EXPECT_EQ (countOpaque (image, darkInk), 0);
}

TEST (Resources, LogoSpansItsWholeBox)
{
    const auto drawable = parse ("logo_orvella_svg");
    ASSERT_NE (drawable, nullptr);
    const auto image = paint (*drawable, 500, 66);

    // Ink reaches both ends of the word mark, so drawing it against the left edge lines up with the heading.
    const auto ink = ov::test::inkBounds (image, image.getBounds(), [] (juce::Colour c) { return c.getAlpha() > 128; });
    EXPECT_LT (ink.getX(), 10);
    EXPECT_GT (ink.getRight(), image.getWidth() - 9);
}

} // namespace
