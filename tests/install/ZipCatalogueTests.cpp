#include "install/ZipCatalogue.h"
#include "tests/install/BundleFixtures.h"

#include <gtest/gtest.h>

using ov::test::ZipMaker;

namespace
{
    std::vector<ov::ZipEntryRecord> readOrFail (const juce::MemoryBlock& archive)
    {
        auto records = ov::readZipCatalogue (archive.getData(), archive.getSize());
        EXPECT_TRUE (records.has_value());
        return records.value_or (std::vector<ov::ZipEntryRecord>());
    }

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
    const auto records = readOrFail (archive);

    juce::MemoryInputStream stream (archive, false);
    juce::ZipFile reader (stream);
    ASSERT_EQ ((int) records.size(), reader.getNumEntries());

    for (size_t i = 0; i < records.size(); ++i)
    {
        const auto& entry = zip.getEntries()[i];
        EXPECT_EQ (records[i].name, reader.getEntry ((int) i)->filename);
        EXPECT_EQ (records[i].uncompressedSize, (juce::uint64) reader.getEntry ((int) i)->uncompressedSize);
        EXPECT_EQ (records[i].crc32, (juce::uint32) crc32 (0, reinterpret_cast<const Bytef*> (entry.data.data()), (uInt) entry.data.size()));
        EXPECT_EQ (records[i].dataOffset, (juce::uint64) zip.dataOffsets[i]);
        EXPECT_EQ (records[i].isFolder(), juce::String (entry.name).endsWithChar ('\\'));
    }

    EXPECT_TRUE (ov::checkBundleEntries (records, "Tavrin3.vst3").wasOk());
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
    const auto withExtra = [] (ZipMaker::Entry extra)
    {
        auto zip = ov::test::makeVst3Archive ("module");
        zip.add (std::move (extra));
        return zip;
    };

    EXPECT_TRUE (check (withExtra ({ "Tavrin3.vst3/Contents/extra.txt", "x" })).wasOk());
    EXPECT_TRUE (check (ZipMaker().file ("Tavrin3.clap", "module"), "Tavrin3.clap").wasOk());

    for (const auto* name : { "..\\evil.txt", "Tavrin3.vst3\\..\\..\\evil.txt", "Tavrin3.vst3\\.\\x", "\\evil.txt",
                              "/tmp/evil.txt", "C:\\evil.txt", "C:evil.txt", "Tavrin3.vst3\\x:stream",
                              "Tavrin3.vst3\\\\x", "Tavrin3.vst3\\x.", "Other.vst3\\x", "tavrin3.vst3\\x",
                              "Tavrin3.vst3\\Plugin.ICO", "Tavrin3.vst3\\desktop.ini\\x" })
        EXPECT_TRUE (check (withExtra ({ name, "x" })).failed()) << name;

    EXPECT_TRUE (check (withExtra ({ "Tavrin3.vst3\\link", "/etc", false, 0xa1ed0000 })).failed());
    EXPECT_TRUE (check (withExtra ({ "Tavrin3.vst3\\Plugin.ico\\", {}, false })).failed());
    EXPECT_TRUE (check (withExtra ({ "Tavrin3.vst3\\Plugin.ico\\sub\\", {}, false })).failed());
    EXPECT_TRUE (check (ZipMaker().file ("Tavrin3.clap", "module").folder ("Tavrin3.clap\\x\\"), "Tavrin3.clap").failed());
    EXPECT_TRUE (check (ZipMaker().file ("Tavrin3.clap", "module").file ("Tavrin3.clap\\x", "y"), "Tavrin3.clap").failed());
    EXPECT_TRUE (check (ZipMaker(), "Tavrin3.clap").failed());

    ZipMaker::Entry stored { "Tavrin3.clap", "module", false };
    stored.recordedSize = 3;
    EXPECT_TRUE (check (ZipMaker().add (stored), "Tavrin3.clap").failed());
}
