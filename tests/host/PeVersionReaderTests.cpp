#include "host/PeVersionReader.h"
#include "tests/fuzz/FuzzTarget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <vector>

namespace
{

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

const fs::path fixtures = fs::path (OV_TEST_FIXTURES_DIR) / "pe";
const fs::path corpus = fs::path (OV_TEST_FUZZ_DIR) / "corpus" / "pe_version";

Bytes load (const fs::path& file)
{
    std::ifstream in (file, std::ios::binary);
    return { std::istreambuf_iterator<char> (in), std::istreambuf_iterator<char>() };
}

std::string versionOf (const Bytes& bytes)
{
    ov::PeMemorySource source (bytes.data(), bytes.size());
    return ov::readPeFileVersion (source);
}

/** Empty, or four dot-separated decimal numbers of 16 bits each. */
bool isVersionOrEmpty (const std::string& text)
{
    static const std::regex version (R"((\d{1,5})\.(\d{1,5})\.(\d{1,5})\.(\d{1,5}))");
    std::smatch parts;

    return text.empty()
        || (std::regex_match (text, parts, version)
            && std::all_of (parts.begin() + 1, parts.end(), [] (const auto& p) { return std::stoul (p.str()) <= 0xffff; }));
}

uint32_t get16 (const Bytes& b, size_t at)  { return (uint32_t) (b[at] | b[at + 1] << 8); }
uint32_t get32 (const Bytes& b, size_t at)  { return get16 (b, at) | get16 (b, at + 2) << 16; }

/** Writes the low width bytes of value, little-endian. */
void put (Bytes& b, size_t at, uint32_t value, size_t width)
{
    for (size_t i = 0; i < width; ++i)
        b[at + i] = (unsigned char) (value >> (8 * i));
}

/** Where the fields of a fixture live, found the way the reader finds them. */
struct Layout
{
    explicit Layout (const Bytes& b)
    {
        nt = get32 (b, 0x3c);
        resourceDataDirectory = nt + 24 + (get16 (b, nt + 24) == 0x20b ? 112u : 96u) + 2 * 8;
        sectionTable = nt + 24 + get16 (b, nt + 20);
        const auto resourceRva = get32 (b, resourceDataDirectory);

        for (size_t i = 0; i < get16 (b, nt + 6); ++i)
        {
            const auto h = sectionTable + i * 40;
            const auto va = get32 (b, h + 12);

            if (resourceRva >= va && resourceRva < va + get32 (b, h + 16))
            {
                resourceSection = h;
                resourceRoot = get32 (b, h + 20) + (resourceRva - va);
            }
        }

        // type -> name -> language -> data entry, taking the first entry of each directory, which in
        // the fixtures with a version is always the path the reader takes.
        const auto firstTarget = [&] (uint32_t directory) { return get32 (b, resourceRoot + directory + 20) & 0x7fffffffu; };
        const auto leaf = firstTarget (firstTarget (firstTarget (0)));
        dataEntry = resourceRoot + leaf;
        versionBlock = resourceRoot + (get32 (b, dataEntry) - resourceRva);
        versionBlockSize = get32 (b, dataEntry + 4);
    }

    size_t nt = 0, resourceDataDirectory = 0, sectionTable = 0, resourceSection = 0, resourceRoot = 0,
           dataEntry = 0, versionBlock = 0, versionBlockSize = 0;
};

/** Counts what the reader asks for, to show that a probe does not read the module. */
struct CountingSource final : ov::PeByteSource
{
    explicit CountingSource (const Bytes& b) : inner (b.data(), b.size()) {}

    bool read (uint64_t offset, void* dest, size_t size) override
    {
        bytesRead += size;
        ++reads;
        return inner.read (offset, dest, size);
    }

    uint64_t size() const override { return inner.size(); }

    ov::PeMemorySource inner;
    size_t bytesRead = 0, reads = 0;
};

/** A folder of the test's own, removed afterwards. */
struct TempFolder
{
    TempFolder()   { fs::remove_all (path); fs::create_directories (path); }
    ~TempFolder()  { std::error_code ignored; fs::remove_all (path, ignored); }

    fs::path write (const std::string& name, const Bytes& bytes) const
    {
        std::ofstream (path / name, std::ios::binary).write ((const char*) bytes.data(), (std::streamsize) bytes.size());
        return path / name;
    }

    const fs::path path = fs::temp_directory_path() / ("ov_pe_" + std::to_string (::testing::UnitTest::GetInstance()->random_seed())
                                                        + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

//==============================================================================
TEST (PeVersionReader, ReadsTheFileVersionOfEveryFixture)
{
    const std::pair<const char*, const char*> expected[] = {
        { "v3.1.10.0-x64.dll", "3.1.10.0" },
        { "v3.1.9.0-x64.dll", "3.1.9.0" },
        { "v3.2.0.0-x64.dll", "3.2.0.0" },
        { "v65535-x64.dll", "65535.65535.65535.65535" },
        { "v3.1.10.0-x86.dll", "3.1.10.0" },
        { "vrsrc-x64.dll", "3.1.10.0" },
        // The neutral language is listed first; without one, German (0x407) precedes English (0x409).
        { "languages-neutral-x64.dll", "3.1.10.0" },
        { "languages-x64.dll", "2.0.0.0" },
        { "no-version-x64.dll", "" },
        { "no-resources-x64.dll", "" },
        // The system asks for name id 1 only.
        { "version-id2-x64.dll", "" },
    };

    for (const auto& [name, version] : expected)
    {
        EXPECT_EQ (ov::readPeFileVersion ((fixtures / name).string()), version) << name;
        EXPECT_EQ (versionOf (load (fixtures / name)), version) << name;
    }
}

TEST (PeVersionReader, GivesNothingForWhatIsNotAModuleFile)
{
    TempFolder temp;
    const auto module = load (fixtures / "v3.1.10.0-x64.dll");

    EXPECT_EQ (ov::readPeFileVersion (""), "");
    EXPECT_EQ (ov::readPeFileVersion ((temp.path / "missing.dll").string()), "");
    EXPECT_EQ (ov::readPeFileVersion (temp.path.string()), "");
    EXPECT_EQ (ov::readPeFileVersion (temp.write ("empty.dll", {}).string()), "");
    EXPECT_EQ (ov::readPeFileVersion (temp.write ("text.dll", { 'M', 'Z', ' ', 'h', 'i', '\n' }).string()), "");

    // A folder named like the module, and the module under another name (the name does not matter).
    fs::create_directories (temp.path / "Tavrin3.vst3");
    EXPECT_EQ (ov::readPeFileVersion ((temp.path / "Tavrin3.vst3").string()), "");
    EXPECT_EQ (ov::readPeFileVersion (temp.write ("Tavrin3.clap", module).string()), "3.1.10.0");
}

TEST (PeVersionReader, ReadsTheSameFewBytesWhateverTheModuleSize)
{
    auto small = load (fixtures / "v3.1.10.0-x64.dll");
    small.resize (20 * 1024);
    auto big = small;
    big.resize (17 * 1024 * 1024, 0xcc);

    CountingSource smallSource (small), bigSource (big);
    EXPECT_EQ (ov::readPeFileVersion (smallSource), "3.1.10.0");
    EXPECT_EQ (ov::readPeFileVersion (bigSource), "3.1.10.0");
    EXPECT_EQ (smallSource.bytesRead, bigSource.bytesRead);
    EXPECT_EQ (smallSource.reads, bigSource.reads);
    EXPECT_LT (smallSource.bytesRead, 1024u);

    // Through a real file as well.
    TempFolder temp;
    EXPECT_EQ (ov::readPeFileVersion (temp.write ("big.dll", big).string()), "3.1.10.0");
}

//==============================================================================
TEST (PeVersionReaderDamage, TruncatedModulesGiveNothingUntilTheVersionBlockIsWhole)
{
    for (const auto* name : { "v3.1.10.0-x64.dll", "v3.1.10.0-x86.dll", "languages-neutral-x64.dll", "vrsrc-x64.dll" })
    {
        const auto module = load (fixtures / name);
        const auto expected = versionOf (module);
        const Layout layout (module);
        const auto blockEnd = layout.versionBlock + layout.versionBlockSize;

        for (size_t length = 0; length < module.size(); ++length)
        {
            const Bytes cut (module.begin(), module.begin() + (std::ptrdiff_t) length);
            EXPECT_EQ (versionOf (cut), length < blockEnd ? "" : expected) << name << " cut at " << length;
        }
    }
}

TEST (PeVersionReaderDamage, EveryCorruptedByteGivesNothingOrAVersion)
{
    for (const auto* name : { "v3.1.10.0-x64.dll", "v3.1.10.0-x86.dll", "languages-neutral-x64.dll" })
    {
        const auto module = load (fixtures / name);
        const Layout layout (module);

        // Headers and section table, then the resource tree and the version block.
        std::vector<std::pair<size_t, size_t>> ranges { { 0, layout.sectionTable + 7 * 40 },
                                                         { layout.resourceRoot, layout.versionBlock + 92 } };

        for (const auto& [from, to] : ranges)
            for (auto at = from; at < to && at < module.size(); ++at)
                for (const int value : { 0x00, 0xff, 0x7f, 0x80, module[at] ^ 0x01 })
                {
                    auto damaged = module;
                    damaged[at] = (unsigned char) value;
                    EXPECT_TRUE (isVersionOrEmpty (versionOf (damaged))) << name << " byte " << at;
                }
    }
}

TEST (PeVersionReaderDamage, HugeOffsetsAndCountsGiveNothing)
{
    const auto module = load (fixtures / "v3.1.10.0-x64.dll");
    const Layout l (module);
    const auto resourceDirEntries = l.resourceRoot + 12;
    const auto dataEntry = l.dataEntry;

    struct Patch { const char* what; size_t at; uint32_t value; size_t width; };
    const Patch patches[] = {
        { "e_lfanew far beyond the end", 0x3c, 0xfffffff0u, 4 },
        { "e_lfanew near the end", 0x3c, (uint32_t) module.size() - 8, 4 },
        { "too many sections", l.nt + 6, 0xffff, 2 },
        { "no sections", l.nt + 6, 0, 2 },
        { "huge optional header", l.nt + 20, 0xffff, 2 },
        { "optional header too short for the data directory", l.nt + 20, 0x70, 2 },
        { "unknown optional header magic", l.nt + 24, 0x0107, 2 },
        { "too few data directories", l.resourceDataDirectory - 20, 2, 4 },
        { "no resource directory", l.resourceDataDirectory, 0, 4 },
        { "resource directory beyond every section", l.resourceDataDirectory, 0xfffffff0u, 4 },
        { "section raw offset huge", l.resourceSection + 20, 0xfffffe00u, 4 },
        { "section address huge", l.resourceSection + 12, 0xfffff000u, 4 },
        { "named entries everywhere", resourceDirEntries, 0xffff, 2 },
        { "type entry counts huge", resourceDirEntries + 2, 0xffff, 2 },
        { "type entry points back at the root", l.resourceRoot + 20, 0x80000000u, 4 },
        { "type entry is a leaf", l.resourceRoot + 20, 0, 4 },
        { "data entry beyond the section", dataEntry, 0xfffffff0u, 4 },
        { "data entry size huge", dataEntry + 4, 0xffffffffu, 4 },
        { "data entry size beyond the end of the file", dataEntry + 4, (uint32_t) (module.size() - l.versionBlock + 1), 4 },
        { "data entry size too small", dataEntry + 4, 91, 4 },
        { "block length beyond the data entry", l.versionBlock, 0xffff, 2 },
        { "block length too short", l.versionBlock, 60, 2 },
        { "value length too short", l.versionBlock + 2, 40, 2 },
        { "value length beyond the block", l.versionBlock + 2, 0xfff0, 2 },
        { "key misspelt", l.versionBlock + 6, 'W', 2 },
        { "key not terminated", l.versionBlock + 36, 'X', 2 },
        { "fixed info signature wrong", l.versionBlock + 40, 0xfeef04bcu, 4 },
    };

    ASSERT_EQ (versionOf (module), "3.1.10.0");

    for (const auto& p : patches)
    {
        auto damaged = module;
        put (damaged, p.at, p.value, p.width);
        EXPECT_EQ (versionOf (damaged), "") << p.what;
    }

    // A section that claims more raw data than the file has still serves what the file does hold.
    auto overlong = module;
    put (overlong, l.resourceSection + 16, 0xffffffffu, 4);
    EXPECT_EQ (versionOf (overlong), "3.1.10.0");
}

TEST (PeVersionReaderDamage, ReplaysTheFuzzCorpus)
{
    ASSERT_TRUE (fs::is_directory (corpus));
    size_t files = 0;

    for (const auto& entry : fs::directory_iterator (corpus))
    {
        const auto bytes = load (entry.path());
        EXPECT_EQ (ov::fuzz::checkInput (bytes.data(), bytes.size()), "") << entry.path();
        EXPECT_EQ (ov::readPeFileVersion (entry.path().string()), versionOf (bytes)) << entry.path();
        ++files;
    }

    EXPECT_GT (files, 0u);
}

} // namespace
