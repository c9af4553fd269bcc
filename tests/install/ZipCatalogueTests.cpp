#include "install/ZipCatalogue.h"
#include "tests/install/BundleFixtures.h"

#include <gtest/gtest.h>

using ov::test::ZipMaker;

namespace
{
    juce::Result check (ZipMaker zip, const juce::String& bundleName = "Tavrin3.vst3")
    {
        const auto archive = zip.build();
        const auto records = ov::readZipCatalogue (archive.getData(), archive.getSize());
        return records ? ov::checkBundleEntries (*records, bundleName) : juce::Result::fail ("unreadable");
    }
}

TEST (ZipCatalogue, AgreesWithTheFrameworkReaderAndZlib)
{
    auto zip = ov::test::makeVst3Archive (ov::test::makeModule ("3.1.10.0", 100000, 1));
    const auto archive = zip.build();
    const auto records = ov::readZipCatalogue (archive.getData(), archive.getSize());
    juce::MemoryInputStream stream (archive, false);
    juce::ZipFile reader (stream);
    ASSERT_TRUE (records.has_value());
    ASSERT_EQ ((int) records->size(), reader.getNumEntries());

    for (size_t i = 0; i < records->size(); ++i)
    {
        const auto& record = (*records)[i];
        const auto& entry = zip.getEntries()[i];
        EXPECT_EQ (record.name, reader.getEntry ((int) i)->filename);
        EXPECT_EQ (record.uncompressedSize, (juce::uint64) reader.getEntry ((int) i)->uncompressedSize);
        EXPECT_EQ (record.crc32, ZipMaker::crcOf (entry.data));
        EXPECT_EQ (record.dataOffset, (juce::uint64) zip.dataOffsets[i]);
        EXPECT_EQ (record.isFolder(), juce::String (entry.name).endsWithChar ('\\'));
    }
}

TEST (ZipCatalogue, RefusesEveryTruncationAndDataOutsideTheArchive)
{
    auto zip = ov::test::makeVst3Archive (ov::test::makeModule ("3.1.10.0", 5000, 2));
    const auto archive = zip.build();

    for (size_t size = 0; size < archive.getSize(); size += (size < 64 || archive.getSize() - size < 300) ? 1u : 97u)
        EXPECT_FALSE (ov::readZipCatalogue (archive.getData(), size).has_value()) << "cut at " << size;

    // A recorded compressed size that runs into the central directory.
    zip = ZipMaker();
    zip.add ({ "Tavrin3.clap", "some module bytes", false });
    auto bad = zip.build();
    static_cast<char*> (bad.getData())[18] = 100;   // compressed size in the local header is not used
    EXPECT_TRUE (ov::readZipCatalogue (bad.getData(), bad.getSize()).has_value());

    const auto directoryStart = zip.dataOffsets[0] + 17;
    static_cast<char*> (bad.getData())[directoryStart + 20] = 100;
    EXPECT_FALSE (ov::readZipCatalogue (bad.getData(), bad.getSize()).has_value());
}

TEST (ZipCatalogue, AcceptsOnlyPlainPathsBelowTheOneBundleThatWindowsHoldsAsGiven)
{
    using Names = std::vector<std::string>;

    const auto withExtras = [] (const Names& names)
    {
        auto zip = ov::test::makeVst3Archive ("module");

        for (const auto& name : names)
            zip.add ({ name, name.back() == '\\' ? "" : "x" });

        return zip;
    };

    const std::string longName (255, 'n');
    auto wideName = std::string ("Tavrin3.vst3\\");

    for (int i = 0; i < 128; ++i)
        wideName += "\xf0\x90\x90\x80";     // U+10400: 128 characters, 256 UTF-16 units

    const auto tooLong = "Tavrin3.vst3\\" + longName + "n", longest = "Tavrin3.vst3\\" + longName;

    EXPECT_TRUE (check (withExtras ({ "Tavrin3.vst3/Contents/extra.txt" })).wasOk());
    EXPECT_TRUE (check (ZipMaker().file ("Tavrin3.clap", "module"), "Tavrin3.clap").wasOk());

    // Near misses of the rules below, and names Windows keeps apart: no special casing ("ß") and no folding
    // beyond the plane (U+10428 and U+10400), nor of the Kelvin sign.
    for (const auto& names : std::vector<Names> { { "Tavrin3.vst3\\CONSOLE.txt", "Tavrin3.vst3\\COM10", "Tavrin3.vst3\\LPT",
                                                    "Tavrin3.vst3\\xNUL", "Tavrin3.vst3\\NUL-x" },
                                                  { "Tavrin3.vst3\\stra\xc3\x9f" "e", "Tavrin3.vst3\\strasse" },
                                                  { "Tavrin3.vst3\\\xf0\x90\x90\xa8", "Tavrin3.vst3\\\xf0\x90\x90\x80" },
                                                  { "Tavrin3.vst3\\\xe2\x84\xaa", "Tavrin3.vst3\\k" },
                                                  { longest } })
        EXPECT_TRUE (check (withExtras (names)).wasOk()) << names[0];

    const std::vector<std::pair<Names, const char*>> refused {
        { { "..\\evil.txt" }, "not a plain path" }, { { "Tavrin3.vst3\\..\\..\\evil.txt" }, "not a plain path" },
        { { "Tavrin3.vst3\\.\\x" }, "not a plain path" }, { { "\\evil.txt" }, "not a plain path" },
        { { "/tmp/evil.txt" }, "not a plain path" }, { { "Tavrin3.vst3\\\\x" }, "not a plain path" },
        { { "C:\\evil.txt" }, "character not allowed" }, { { "C:evil.txt" }, "character not allowed" },
        { { "Tavrin3.vst3\\x:stream" }, "character not allowed" },
        { { "Tavrin3.vst3\\x." }, "ends in a blank or a dot" }, { { "Tavrin3.vst3\\x " }, "ends in a blank or a dot" },
        { { "Tavrin3.vst3\\Contents\\x \\y" }, "ends in a blank or a dot" },
        { { "Other.vst3\\x" }, "outside the bundle" }, { { "tavrin3.vst3\\x" }, "outside the bundle" },
        { { "Tavrin3.vst3\\Plugin.ICO" }, "given twice" }, { { "Tavrin3.vst3\\desktop.ini\\x" }, "below a file" },
        { { "Tavrin3.vst3\\\xc3\x89", "Tavrin3.vst3\\\xc3\xa9" }, "given twice" },             // É, é
        { { "Tavrin3.vst3\\\xcf\x83", "Tavrin3.vst3\\\xcf\x82" }, "given twice" },             // σ, ς
        { { "Tavrin3.vst3\\\xc3\xbf\\", "Tavrin3.vst3\\\xc5\xb8" }, "given twice" },         // ÿ\, Ÿ
        { { "Tavrin3.vst3\\CON" }, "device" }, { { "Tavrin3.vst3\\nul.txt" }, "device" },
        { { "Tavrin3.vst3\\Contents\\COM1.dll" }, "device" }, { { "Tavrin3.vst3\\lpt9" }, "device" },
        { { "Tavrin3.vst3\\CONIN$" }, "device" }, { { "Tavrin3.vst3\\conout$.log" }, "device" },
        { { "Tavrin3.vst3\\COM\xc2\xb9" }, "device" }, { { "Tavrin3.vst3\\aux\\x" }, "device" },
        { { "Tavrin3.vst3\\Nul .txt" }, "device" },
        { { "Tavrin3.vst3\\readme\xe2\x80\xaetxt.exe" }, "text-direction" },                    // U+202E
        { { "Tavrin3.vst3\\a\xe2\x81\xa6" "b" }, "text-direction" }, { { "Tavrin3.vst3\\a\x7f" }, "control" },
        { { "Tavrin3.vst3\\a\xc2\x9b" }, "control" },
        { { tooLong }, "longer than the 255" }, { { wideName }, "longer than the 255" } };

    for (const auto& [names, rule] : refused)
    {
        const auto result = check (withExtras (names));
        EXPECT_TRUE (result.getErrorMessage().contains (rule)) << names[0] << ": " << result.getErrorMessage();
    }

    // A link, and folders where a file already is.
    for (const auto& extra : { ZipMaker::Entry { "Tavrin3.vst3\\link", "/etc", false, 0xa1ed0000 },
                               ZipMaker::Entry { "Tavrin3.vst3\\Plugin.ico\\", {}, false },
                               ZipMaker::Entry { "Tavrin3.vst3\\Plugin.ico\\sub\\", {}, false } })
        EXPECT_TRUE (check (ov::test::makeVst3Archive ("module").add (extra)).failed()) << extra.name;

    EXPECT_TRUE (check (ZipMaker().file ("Tavrin3.clap", "module").folder ("Tavrin3.clap\\x\\"), "Tavrin3.clap").failed());
    EXPECT_TRUE (check (ZipMaker().file ("Tavrin3.clap", "module").file ("Tavrin3.clap\\x", "y"), "Tavrin3.clap").failed());
    EXPECT_TRUE (check (ZipMaker(), "Tavrin3.clap").failed());

    ZipMaker::Entry stored { "Tavrin3.clap", "module", false };
    stored.recordedSize = 3;
    EXPECT_TRUE (check (ZipMaker().add (stored), "Tavrin3.clap").failed());
}

TEST (ZipCatalogue, BoundsWhatAnArchiveUnpacksTo)
{
    // One stored stream that several entries point at unpacks many times over: 284 KiB became 1 GiB.
    ZipMaker::Entry copy { "Tavrin3.vst3\\Plugin copy.ico", {} };
    copy.sameDataAs = 2;
    const auto shared = check (ov::test::makeVst3Archive ("module").add (copy));
    EXPECT_TRUE (shared.getErrorMessage().contains ("Plugin copy.ico: its stored bytes overlap")) << shared.getErrorMessage();

    const auto sized = [] (const char* name, juce::uint64 size)
    {
        ZipMaker::Entry entry { name, "x" };
        entry.recordedSize = (juce::uint32) size;
        return entry;
    };

    const auto half = ov::maxBundleSize / 2;
    EXPECT_TRUE (check (ZipMaker().add (sized ("Tavrin3.clap", ov::maxBundleSize)), "Tavrin3.clap").wasOk());

    const auto over = check (ov::test::makeVst3Archive ("module").add (sized ("Tavrin3.vst3\\a", half))
                                                                 .add (sized ("Tavrin3.vst3\\b", half)));
    EXPECT_TRUE (over.getErrorMessage().contains ("more than the 256 MiB")) << over.getErrorMessage();
}

TEST (ZipCatalogue, KeepsEveryPathWithinWindowsLimitsBelowTheFolder)
{
    const auto checkBelowF = [] (std::initializer_list<ZipMaker::Entry> entries)
    {
        ZipMaker zip;

        for (const auto& entry : entries)
            zip.add (entry);

        const auto archive = zip.build();
        return ov::checkWindowsPathLengths (*ov::readZipCatalogue (archive.getData(), archive.getSize()), "C:\\F");
    };

    // "C:\F\" is 5 units: a file of 259 in all, a folder of 247 (and one beyond plane counts two).
    const auto name = [] (size_t length, char c = 'n') { return "B\\" + std::string (length - 7, c); };
    const auto folder = [&name] (size_t length) { return name (length) + "\\"; };

    EXPECT_TRUE (checkBelowF ({ { name (259), "x" }, { folder (247), {}, false }, { folder (247) + "f", "x" } }).wasOk());

    for (const auto& entry : { ZipMaker::Entry { name (260), "x" }, ZipMaker::Entry { folder (248), {}, false },
                               ZipMaker::Entry { folder (248) + "f", "x" },
                               ZipMaker::Entry { name (258) + "\xf0\x90\x90\x80", "x" } })
    {
        const auto result = checkBelowF ({ entry });
        EXPECT_TRUE (result.getErrorMessage().contains ("longer than Windows allows")) << entry.name.size();
    }
}
