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

TEST (ZipCatalogue, AcceptsOnlyPlainPathsBelowTheOneBundle)
{
    const auto withExtra = [] (const ZipMaker::Entry& extra) { return ov::test::makeVst3Archive ("module").add (extra); };

    EXPECT_TRUE (check (withExtra ({ "Tavrin3.vst3/Contents/extra.txt", "x" })).wasOk());
    EXPECT_TRUE (check (ZipMaker().file ("Tavrin3.clap", "module"), "Tavrin3.clap").wasOk());

    for (const auto* name : { "..\\evil.txt", "Tavrin3.vst3\\..\\..\\evil.txt", "Tavrin3.vst3\\.\\x", "\\evil.txt",
                              "/tmp/evil.txt", "C:\\evil.txt", "C:evil.txt", "Tavrin3.vst3\\x:stream",
                              "Tavrin3.vst3\\\\x", "Tavrin3.vst3\\x.", "Other.vst3\\x", "tavrin3.vst3\\x",
                              "Tavrin3.vst3\\Plugin.ICO", "Tavrin3.vst3\\desktop.ini\\x" })
        EXPECT_TRUE (check (withExtra ({ name, "x" })).failed()) << name;

    // A link, and folders where a file already is.
    for (const auto& extra : { ZipMaker::Entry { "Tavrin3.vst3\\link", "/etc", false, 0xa1ed0000 },
                               ZipMaker::Entry { "Tavrin3.vst3\\Plugin.ico\\", {}, false },
                               ZipMaker::Entry { "Tavrin3.vst3\\Plugin.ico\\sub\\", {}, false } })
        EXPECT_TRUE (check (withExtra (extra)).failed()) << extra.name;

    EXPECT_TRUE (check (ZipMaker().file ("Tavrin3.clap", "module").folder ("Tavrin3.clap\\x\\"), "Tavrin3.clap").failed());
    EXPECT_TRUE (check (ZipMaker().file ("Tavrin3.clap", "module").file ("Tavrin3.clap\\x", "y"), "Tavrin3.clap").failed());
    EXPECT_TRUE (check (ZipMaker(), "Tavrin3.clap").failed());

    ZipMaker::Entry stored { "Tavrin3.clap", "module", false };
    stored.recordedSize = 3;
    EXPECT_TRUE (check (ZipMaker().add (stored), "Tavrin3.clap").failed());
}
