#include "install/ZipCatalogue.h"

#include <set>

namespace ov
{

namespace
{
    constexpr juce::uint32 endOfDirectorySignature = 0x06054b50;
    constexpr juce::uint32 directoryHeaderSignature = 0x02014b50;
    constexpr juce::uint32 localHeaderSignature = 0x04034b50;
    constexpr size_t endOfDirectorySize = 22;
    constexpr size_t directoryHeaderSize = 46;
    constexpr size_t localHeaderSize = 30;
    constexpr size_t maxCommentLength = 0xffff;

    /** Little-endian reads that refuse to step outside the block. */
    struct Bytes
    {
        const unsigned char* data;
        size_t size;

        bool has (juce::uint64 offset, juce::uint64 length) const
        {
            return offset <= size && length <= size - offset;
        }

        juce::uint16 u16 (size_t offset) const
        {
            return (juce::uint16) (data[offset] | (data[offset + 1] << 8));
        }

        juce::uint32 u32 (size_t offset) const
        {
            return (juce::uint32) u16 (offset) | ((juce::uint32) u16 (offset + 2) << 16);
        }
    };

    std::optional<size_t> findEndOfDirectory (const Bytes& bytes)
    {
        if (bytes.size < endOfDirectorySize)
            return {};

        const auto last = bytes.size - endOfDirectorySize;
        const auto first = last > maxCommentLength ? last - maxCommentLength : 0;

        // The record must end exactly where its comment says, so a signature inside the comment or the
        // data is not taken for it.
        for (auto pos = last + 1; pos-- > first;)
            if (bytes.u32 (pos) == endOfDirectorySignature
                 && pos + endOfDirectorySize + bytes.u16 (pos + 20) == bytes.size)
                return pos;

        return {};
    }
}

bool ZipEntryRecord::isFolder() const
{
    return name.endsWithChar ('/') || name.endsWithChar ('\\');
}

bool ZipEntryRecord::isSymbolicLink() const
{
    // The file type in the upper half of the attributes, as written by Unix tools (S_IFLNK); the framework
    // looks at the same four bits whatever system made the entry.
    return ((externalAttributes >> 16) & 0xf000) == 0xa000;
}

std::optional<std::vector<ZipEntryRecord>> readZipCatalogue (const void* data, size_t size)
{
    const Bytes bytes { static_cast<const unsigned char*> (data), data != nullptr ? size : 0 };
    const auto end = findEndOfDirectory (bytes);

    if (! end)
        return {};

    const auto numEntries = bytes.u16 (*end + 10);
    const juce::uint64 directorySize = bytes.u32 (*end + 12);
    const juce::uint64 directoryOffset = bytes.u32 (*end + 16);

    if (bytes.u16 (*end + 4) != 0 || bytes.u16 (*end + 6) != 0 || bytes.u16 (*end + 8) != numEntries
         || numEntries == 0xffff || directorySize + directoryOffset > *end)
        return {};

    std::vector<ZipEntryRecord> entries;
    entries.reserve (numEntries);
    auto pos = (size_t) directoryOffset;

    for (int i = 0; i < numEntries; ++i)
    {
        if (! bytes.has (pos, directoryHeaderSize) || bytes.u32 (pos) != directoryHeaderSignature)
            return {};

        const auto nameLength = bytes.u16 (pos + 28);
        const auto headerLength = directoryHeaderSize + nameLength + bytes.u16 (pos + 30) + bytes.u16 (pos + 32);

        if (pos + headerLength > directoryOffset + directorySize)
            return {};

        ZipEntryRecord entry;
        entry.versionMadeBy = bytes.u16 (pos + 4);
        entry.flags = bytes.u16 (pos + 8);
        entry.method = bytes.u16 (pos + 10);
        entry.crc32 = bytes.u32 (pos + 16);
        entry.compressedSize = bytes.u32 (pos + 20);
        entry.uncompressedSize = bytes.u32 (pos + 24);
        entry.externalAttributes = bytes.u32 (pos + 38);
        entry.name = juce::String::fromUTF8 (reinterpret_cast<const char*> (bytes.data + pos + directoryHeaderSize), nameLength);

        const juce::uint64 localOffset = bytes.u32 (pos + 42);

        if (entry.compressedSize == 0xffffffff || entry.uncompressedSize == 0xffffffff || localOffset == 0xffffffff
             || bytes.u16 (pos + 34) != 0)
            return {};

        if (localOffset + localHeaderSize > directoryOffset || bytes.u32 ((size_t) localOffset) != localHeaderSignature)
            return {};

        entry.dataOffset = localOffset + localHeaderSize + bytes.u16 ((size_t) localOffset + 26)
                                                         + bytes.u16 ((size_t) localOffset + 28);

        if (entry.dataOffset + entry.compressedSize > directoryOffset)
            return {};

        entries.push_back (std::move (entry));
        pos += headerLength;
    }

    return entries;
}

juce::Result checkBundleEntries (const std::vector<ZipEntryRecord>& entries, const juce::String& bundleName)
{
    if (entries.empty())
        return juce::Result::fail ("no entries");

    std::set<juce::String> files, folders;

    for (const auto& entry : entries)
    {
        const auto fail = [&entry] (const juce::String& what) { return juce::Result::fail (entry.name + ": " + what); };

        if (entry.isSymbolicLink())
            return fail ("symbolic link");

        if ((entry.flags & 1) != 0)
            return fail ("encrypted");

        if (entry.method != 0 && entry.method != 8)
            return fail ("unknown method");

        if (entry.method == 0 && entry.compressedSize != entry.uncompressedSize)
            return fail ("stored sizes differ");

        if (entry.isFolder() && entry.uncompressedSize != 0)
            return fail ("folder with data");

        const auto path = entry.name.replaceCharacter ('\\', '/');

        // ":" also covers drive letters and Windows' alternate data streams.
        for (auto c : path)
            if (c < 0x20 || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|')
                return fail ("character not allowed in a path");

        const auto parts = juce::StringArray::fromTokens (entry.isFolder() ? path.dropLastCharacters (1) : path, "/", {});

        for (const auto& part : parts)
            if (part.isEmpty() || part == "." || part == ".." || part.endsWithChar (' ') || part.endsWithChar ('.'))
                return fail ("not a plain path below the bundle");

        if (parts[0] != bundleName)
            return fail ("outside the bundle");

        // Windows folds case, so two names that differ only in case are one file there.
        const auto key = parts.joinIntoString ("/").toLowerCase();

        if (files.count (key) > 0 || (! entry.isFolder() && folders.count (key) > 0))
            return fail ("path given twice");

        (entry.isFolder() ? folders : files).insert (key);
    }

    for (const auto* paths : { &files, &folders })
        for (const auto& path : *paths)
            for (auto parent = path; parent.containsChar ('/');)
            {
                parent = parent.upToLastOccurrenceOf ("/", false, false);

                if (files.count (parent) > 0)
                    return juce::Result::fail (path + ": below a file");
            }

    return juce::Result::ok();
}

} // namespace ov
