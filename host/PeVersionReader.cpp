#include "host/PeVersionReader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace ov
{

namespace
{

constexpr uint32_t resourceDirectoryIndex = 2;
constexpr uint16_t rtVersion = 16;
constexpr uint16_t vsVersionInfoId = 1;
constexpr uint32_t fixedFileInfoSignature = 0xfeef04bd;

// The loader refuses more sections than this, and it keeps the section table a fixed-size read.
constexpr size_t maxSections = 96;
constexpr size_t sectionHeaderSize = 40;

// A version block starts with wLength, wValueLength, wType, L"VS_VERSION_INFO" and padding to a
// 32-bit boundary; VS_FIXEDFILEINFO follows at this offset.
constexpr size_t fixedInfoOffset = 40;
constexpr size_t fixedInfoSize = 52;
constexpr size_t versionHeadSize = fixedInfoOffset + fixedInfoSize;

// Language entries looked at before giving up on finding a data leaf among them.
constexpr uint32_t maxLanguageEntries = 64;

uint16_t get16 (const unsigned char* p)
{
    return (uint16_t) (p[0] | (p[1] << 8));
}

uint32_t get32 (const unsigned char* p)
{
    return (uint32_t) get16 (p) | ((uint32_t) get16 (p + 2) << 16);
}

struct Section
{
    uint32_t virtualAddress, rawSize, rawOffset;
};

class PeImage final
{
public:
    explicit PeImage (PeByteSource& s) : source (s) {}

    bool readHeaders()
    {
        unsigned char dos[64];

        if (! source.read (0, dos, sizeof (dos)) || get16 (dos) != 0x5a4d)
            return false;

        const uint64_t ntOffset = get32 (dos + 0x3c);

        // Signature and file header, then the optional header up to the end of the data directory
        // of the larger (PE32+) layout, or less when the optional header says it is shorter.
        unsigned char nt[24];

        if (! source.read (ntOffset, nt, sizeof (nt)) || get32 (nt) != 0x00004550)
            return false;

        const size_t numSections = get16 (nt + 6);
        const size_t optionalSize = get16 (nt + 20);

        if (numSections == 0 || numSections > maxSections)
            return false;

        unsigned char optional[240] = {};
        const auto optionalToRead = std::min (optionalSize, sizeof (optional));

        if (optionalToRead < 2 || ! source.read (ntOffset + sizeof (nt), optional, optionalToRead))
            return false;

        const auto magic = get16 (optional);
        size_t countOffset;

        if (magic == 0x10b)
            countOffset = 92;
        else if (magic == 0x20b)
            countOffset = 108;
        else
            return false;

        const auto entryOffset = countOffset + 4 + resourceDirectoryIndex * 8;

        if (optionalToRead < entryOffset + 8 || get32 (optional + countOffset) <= resourceDirectoryIndex)
            return false;

        resourceRva = get32 (optional + entryOffset);

        if (resourceRva == 0)
            return false;

        unsigned char table[maxSections * sectionHeaderSize];

        if (! source.read (ntOffset + sizeof (nt) + optionalSize, table, numSections * sectionHeaderSize))
            return false;

        for (size_t i = 0; i < numSections; ++i)
        {
            const auto* h = table + i * sectionHeaderSize;
            sections[i] = { get32 (h + 12), get32 (h + 16), get32 (h + 20) };
        }

        sectionCount = numSections;
        return true;
    }

    /** Maps a range of the loaded image to the file, through the section whose raw data holds it,
        the way the system looks up resources in a module mapped as a data file. */
    bool mapRva (uint64_t rva, uint64_t size, uint64_t& fileOffset) const
    {
        for (size_t i = 0; i < sectionCount; ++i)
        {
            const auto& s = sections[i];

            if (rva >= s.virtualAddress && rva - s.virtualAddress < s.rawSize)
            {
                const auto offsetInSection = rva - s.virtualAddress;
                fileOffset = s.rawOffset + offsetInSection;

                return size <= s.rawSize - offsetInSection
                    && fileOffset <= source.size() && size <= source.size() - fileOffset;
            }
        }

        return false;
    }

    bool readRva (uint64_t rva, void* dest, size_t size) const
    {
        uint64_t fileOffset = 0;
        return mapRva (rva, size, fileOffset) && source.read (fileOffset, dest, size);
    }

    /** Offsets inside the resource tree are relative to its root. */
    bool readResource (uint32_t offset, void* dest, size_t size) const
    {
        return readRva ((uint64_t) resourceRva + offset, dest, size);
    }

    /** Finds the id among a directory's id entries (which follow its named ones, sorted) by
        bisection, as the loader does; returns the entry's raw target field. */
    bool findIdEntry (uint32_t directory, uint16_t id, uint32_t& target) const
    {
        unsigned char header[16];

        if (! readResource (directory, header, sizeof (header)))
            return false;

        const uint32_t firstId = get16 (header + 12);
        uint32_t low = 0, high = get16 (header + 14);

        while (low < high)
        {
            const auto middle = low + (high - low) / 2;
            unsigned char entry[8];

            if (! readResource (directory + 16 + (firstId + middle) * 8, entry, sizeof (entry)))
                return false;

            const auto name = get32 (entry);

            if ((name & 0x80000000u) == 0 && name == id)
            {
                target = get32 (entry + 4);
                return true;
            }

            if ((name & 0x80000000u) == 0 && name < id)
                low = middle + 1;
            else
                high = middle;
        }

        return false;
    }

    /** The first entry of a language directory that leads to data rather than another directory. */
    bool findFirstLeaf (uint32_t directory, uint32_t& target) const
    {
        unsigned char header[16];

        if (! readResource (directory, header, sizeof (header)))
            return false;

        const auto count = std::min ((uint32_t) get16 (header + 12) + get16 (header + 14), maxLanguageEntries);

        for (uint32_t i = 0; i < count; ++i)
        {
            unsigned char entry[8];

            if (! readResource (directory + 16 + i * 8, entry, sizeof (entry)))
                return false;

            target = get32 (entry + 4);

            if ((target & 0x80000000u) == 0)
                return true;
        }

        return false;
    }

    std::string readVersion() const
    {
        uint32_t names = 0, languages = 0, leaf = 0;

        // Exactly three levels: type, name, language.
        if (! findIdEntry (0, rtVersion, names) || (names & 0x80000000u) == 0)
            return {};

        if (! findIdEntry (names & 0x7fffffffu, vsVersionInfoId, languages) || (languages & 0x80000000u) == 0)
            return {};

        if (! findFirstLeaf (languages & 0x7fffffffu, leaf))
            return {};

        unsigned char dataEntry[16];

        if (! readResource (leaf, dataEntry, sizeof (dataEntry)))
            return {};

        const auto blockRva = get32 (dataEntry);
        const auto blockSize = get32 (dataEntry + 4);
        unsigned char head[versionHeadSize];

        // The whole block must be there, though only its head is read.
        uint64_t blockOffset = 0;

        if (blockSize < versionHeadSize || ! mapRva (blockRva, blockSize, blockOffset)
             || ! source.read (blockOffset, head, sizeof (head)))
            return {};

        const auto length = get16 (head);
        const auto valueLength = get16 (head + 2);
        static const char key[] = "VS_VERSION_INFO";

        if (length < versionHeadSize || length > blockSize || valueLength < fixedInfoSize
             || fixedInfoOffset + valueLength > length)
            return {};

        for (size_t i = 0; i < sizeof (key); ++i)
            if (get16 (head + 6 + i * 2) != (uint16_t) key[i])
                return {};

        const auto* info = head + fixedInfoOffset;

        if (get32 (info) != fixedFileInfoSignature)
            return {};

        const auto ms = get32 (info + 8);
        const auto ls = get32 (info + 12);

        return std::to_string (ms >> 16) + "." + std::to_string (ms & 0xffff) + "."
             + std::to_string (ls >> 16) + "." + std::to_string (ls & 0xffff);
    }

private:
    PeByteSource& source;
    uint32_t resourceRva = 0;
    std::array<Section, maxSections> sections {};
    size_t sectionCount = 0;
};

class FileSource final : public PeByteSource
{
public:
    FileSource (const std::filesystem::path& path, uint64_t fileSize)
        : numBytes (fileSize)
    {
        // Unbuffered: every read asks the system for exactly the bytes the reader wants.
        stream.rdbuf()->pubsetbuf (nullptr, 0);
        stream.open (path, std::ios::binary);
    }

    bool isOpen() const { return stream.is_open(); }

    bool read (uint64_t offset, void* dest, size_t size) override
    {
        if (offset > numBytes || size > numBytes - offset)
            return false;

        stream.clear();
        stream.seekg ((std::streamoff) offset);
        stream.read (static_cast<char*> (dest), (std::streamsize) size);
        return stream.gcount() == (std::streamsize) size;
    }

    uint64_t size() const override { return numBytes; }

private:
    std::ifstream stream;
    uint64_t numBytes;
};

} // namespace

PeMemorySource::PeMemorySource (const void* data, size_t size)
    : bytes (static_cast<const unsigned char*> (data)), numBytes (size)
{
}

bool PeMemorySource::read (uint64_t offset, void* dest, size_t size)
{
    if (offset > numBytes || size > numBytes - offset)
        return false;

    if (size > 0)
        std::memcpy (dest, bytes + offset, size);

    return true;
}

uint64_t PeMemorySource::size() const
{
    return numBytes;
}

std::string readPeFileVersion (PeByteSource& source)
{
    PeImage image (source);

    if (! image.readHeaders())
        return {};

    return image.readVersion();
}

namespace
{
    /** Opens only a regular file: opening a FIFO would wait for a writer. */
    template <typename Result, typename Read>
    Result readFile (const std::string& path, Read&& read)
    {
        std::error_code error;
        const auto file = std::filesystem::u8path (path);

        if (path.empty() || ! std::filesystem::is_regular_file (file, error))
            return {};

        const auto fileSize = std::filesystem::file_size (file, error);

        if (error)
            return {};

        FileSource source (file, fileSize);

        if (! source.isOpen())
            return {};

        return read (source);
    }
}

std::string readPeFileVersion (const std::string& path)
{
    return readFile<std::string> (path, [] (PeByteSource& source) { return readPeFileVersion (source); });
}

bool isX64Module (PeByteSource& source)
{
    unsigned char dos[64];
    unsigned char nt[26];

    // "MZ", then at the offset it names "PE\0\0", the machine, and the optional header's magic.
    return source.read (0, dos, sizeof (dos)) && get16 (dos) == 0x5a4d
        && source.read (get32 (dos + 0x3c), nt, sizeof (nt))
        && get32 (nt) == 0x00004550 && get16 (nt + 4) == 0x8664 && get16 (nt + 24) == 0x20b;
}

bool isX64Module (const std::string& path)
{
    return readFile<bool> (path, [] (PeByteSource& source) { return isX64Module (source); });
}

} // namespace ov
