#include "install/ZipCatalogue.h"
#include "install/WindowsNames.h"

#include <algorithm>
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

    constexpr int maxNameLength = 255;              // NTFS, in UTF-16 units
    constexpr int maxPathLength = 260 - 1;          // MAX_PATH, less the closing null
    constexpr int maxFolderPathLength = maxPathLength - 12;

    bool isForbiddenInNames (juce::juce_wchar c)
    {
        // ":" also covers drive letters and Windows' alternate data streams.
        return c < 0x20 || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|';
    }

    /** Characters that make a name show as another: DEL and the C1 controls, and the marks, embeddings,
        overrides and isolates that change the direction text is shown in. */
    bool isMisleading (juce::juce_wchar c)
    {
        return c == 0x7f || (c >= 0x80 && c < 0xa0) || c == 0x061c || c == 0x200e || c == 0x200f
                || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
    }

    /** The rule a path's characters and names break, or nothing. */
    std::optional<juce::String> findBadName (const juce::String& path, const juce::StringArray& parts)
    {
        for (auto c : path)
        {
            if (isForbiddenInNames (c))
                return "character not allowed in a path";

            if (isMisleading (c))
                return "control or text-direction character, which shows the name as another";
        }

        for (const auto& part : parts)
        {
            if (part.isEmpty() || part == "." || part == "..")
                return "not a plain path below the bundle";

            if (part.endsWithChar (' ') || part.endsWithChar ('.'))
                return "name ends in a blank or a dot, which Windows drops";

            if (windowsNames::isDevice (part))
                return "name of a Windows device (CON, NUL, COM1 and the like)";

            if (windowsNames::length (part) > maxNameLength)
                return "name longer than the " + juce::String (maxNameLength) + " characters Windows allows";
        }

        return {};
    }

    /** An entry whose stored bytes, local header included, overlap another's: one stream unpacked again
        and again under many names. */
    const ZipEntryRecord* findOverlap (const std::vector<ZipEntryRecord>& entries)
    {
        std::vector<const ZipEntryRecord*> byOffset;

        for (const auto& entry : entries)
            byOffset.push_back (&entry);

        std::stable_sort (byOffset.begin(), byOffset.end(),
                          [] (const auto* a, const auto* b) { return a->localHeaderOffset < b->localHeaderOffset; });

        for (size_t i = 1; i < byOffset.size(); ++i)
            if (byOffset[i]->localHeaderOffset < byOffset[i - 1]->dataOffset + byOffset[i - 1]->compressedSize)
                return byOffset[i];

        return nullptr;
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

        entry.localHeaderOffset = localOffset;
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
    juce::uint64 totalSize = 0;

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
        const auto parts = juce::StringArray::fromTokens (entry.isFolder() ? path.dropLastCharacters (1) : path, "/", {});

        if (const auto badName = findBadName (path, parts))
            return fail (*badName);

        if (parts[0] != bundleName)
            return fail ("outside the bundle");

        const auto key = windowsNames::foldCase (parts.joinIntoString ("/"));

        if (files.count (key) > 0 || (! entry.isFolder() && folders.count (key) > 0))
            return fail ("path given twice (Windows takes the two names as one)");

        (entry.isFolder() ? folders : files).insert (key);
        totalSize += entry.uncompressedSize;
    }

    for (const auto* paths : { &files, &folders })
        for (const auto& path : *paths)
            for (auto parent = path; parent.containsChar ('/');)
            {
                parent = parent.upToLastOccurrenceOf ("/", false, false);

                if (files.count (parent) > 0)
                    return juce::Result::fail (path + ": below a file");
            }

    if (const auto* overlapping = findOverlap (entries))
        return juce::Result::fail (overlapping->name + ": its stored bytes overlap another entry's, so one stream would unpack many times");

    if (totalSize > maxBundleSize)
        return juce::Result::fail ("the entries unpack to " + juce::String (totalSize) + " bytes, more than the "
                                   + juce::String (maxBundleSize >> 20) + " MiB a bundle may take");

    return juce::Result::ok();
}

juce::Result checkWindowsPathLengths (const std::vector<ZipEntryRecord>& entries, const juce::String& windowsFolder)
{
    for (const auto& entry : entries)
    {
        const auto path = windowsFolder + "\\" + entry.name.replaceCharacter ('/', '\\').trimCharactersAtEnd ("\\");
        const auto folder = entry.isFolder() ? path : path.upToLastOccurrenceOf ("\\", false, false);

        if (windowsNames::length (folder) > maxFolderPathLength || windowsNames::length (path) > maxPathLength)
            return juce::Result::fail (entry.name + ": " + path + " is longer than Windows allows (MAX_PATH, "
                                       + juce::String (maxPathLength) + " characters for a file, "
                                       + juce::String (maxFolderPathLength) + " for a folder)");
    }

    return juce::Result::ok();
}

} // namespace ov
