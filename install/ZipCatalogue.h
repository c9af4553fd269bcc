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
    juce::uint64 dataOffset = 0;    // first byte of the entry's data, after its local header

    bool isFolder() const;
    bool isSymbolicLink() const;
};

/** Reads the central directory of the archive in memory. Every offset and length is checked against
    the archive's bounds, and so is each entry's local header and data; nullopt when anything does not
    fit or the archive uses what the installer does not unpack (several disks, 64-bit sizes). */
std::optional<std::vector<ZipEntryRecord>> readZipCatalogue (const void* data, size_t size);

/** Whether the entries may be unpacked as the bundle named bundleName: one top-level name, the bundle's;
    paths that stay below it (no "..", no absolute or drive paths, no streams); no symbolic links, no
    encryption, no method but stored or deflate; no two entries for the same path (ignoring case, as
    Windows does) and no file where another entry needs a folder. */
juce::Result checkBundleEntries (const std::vector<ZipEntryRecord>& entries, const juce::String& bundleName);

} // namespace ov
