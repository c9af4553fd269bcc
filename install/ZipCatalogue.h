#pragma once

#include <juce_core/juce_core.h>

#include <optional>
#include <vector>

namespace ov
{

/** One entry of a zip archive's central directory, with what the framework's reader does not expose:
    the CRC-32, the method and where the data lies. */
struct ZipEntryRecord
{
    juce::String name;              // as stored, "\" or "/" separated, decoded as the framework decodes it
    juce::uint16 versionMadeBy = 0;
    juce::uint16 flags = 0;
    juce::uint16 method = 0;
    juce::uint32 crc32 = 0;
    juce::uint64 compressedSize = 0;
    juce::uint64 uncompressedSize = 0;
    juce::uint32 externalAttributes = 0;
    juce::uint64 localHeaderOffset = 0;
    juce::uint64 dataOffset = 0;    // first byte of the entry's data, after its local header

    bool isFolder() const;
    bool isSymbolicLink() const;
};

/** Reads the central directory of the archive in memory. Every offset and length is checked against
    the archive's bounds, and so is each entry's local header and data; nullopt when anything does not
    fit or the archive uses what the installer does not unpack (several disks, 64-bit sizes). */
std::optional<std::vector<ZipEntryRecord>> readZipCatalogue (const void* data, size_t size);

/** What a bundle may unpack to at most, the sum of its entries' sizes: some fifteen times the largest
    bundle the product ships (17.1 MB), room to grow while an archive that unpacks far beyond what it holds
    cannot fill a disk. */
inline constexpr juce::uint64 maxBundleSize = 256 * 1024 * 1024;

/** Whether the entries may be unpacked as the bundle named bundleName: one top-level name, the bundle's;
    paths that stay below it (no "..", no absolute or drive paths, no streams); names Windows holds as
    given (no device names, no name ending in a blank or a dot, none over 255 units, no control or
    text-direction characters); no symbolic links, no encryption, no method but stored or deflate; no two
    entries for the same path as Windows compares names, and no file where another entry needs a folder;
    no entry whose stored bytes overlap another's, and at most maxBundleSize unpacked. */
juce::Result checkBundleEntries (const std::vector<ZipEntryRecord>& entries, const juce::String& bundleName);

/** Whether every path the entries unpack to below windowsFolder (as Windows spells it) is within the
    limits of Windows' plain paths: MAX_PATH (260 units with the closing null) for a file, and for a folder
    12 units fewer, the room Windows keeps for a short name inside it. */
juce::Result checkWindowsPathLengths (const std::vector<ZipEntryRecord>& entries, const juce::String& windowsFolder);

} // namespace ov
