#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ov
{

/** Random access to the bytes of a module, so the reader can run on a file, on memory (the fuzzer)
    or on a counting wrapper (the tests). */
struct PeByteSource
{
    virtual ~PeByteSource() = default;

    /** Fills dest with size bytes from offset; false when any of them lies beyond the end. */
    virtual bool read (uint64_t offset, void* dest, size_t size) = 0;

    virtual uint64_t size() const = 0;
};

/** A module that is already in memory; the bytes are not copied and must outlive the source. */
struct PeMemorySource final : PeByteSource
{
    PeMemorySource (const void* data, size_t size);

    bool read (uint64_t offset, void* dest, size_t size) override;
    uint64_t size() const override;

private:
    const unsigned char* bytes;
    size_t numBytes;
};

/** Reads a Windows module's file version the way GetFileVersionInfoW and VerQueryValueW on the
    root block do: "a.b.c.d", or the empty text when there is none.

    Only the headers, the section table, the resource directory entries on the way and the head of
    the one version block are read, so the cost does not depend on the module's size. Any offset or
    size that does not fit gives the empty text.

    Which resource: type RT_VERSION (16), name id 1 (VS_VERSION_INFO, the id the system asks for),
    and the first language entry of that name's directory. Language ids are sorted, so that is the
    lowest one, which is the neutral language whenever the module has one; the system would prefer
    the user's language over other non-neutral ones, which only matters for modules that carry
    several version resources without a neutral one. */
std::string readPeFileVersion (PeByteSource& source);

/** The same for a file; empty when it does not exist, is a folder or cannot be opened. */
std::string readPeFileVersion (const std::string& path);

/** Whether the bytes start with the headers of a 64-bit x86 image (PE32+, machine x86-64): the only
    kind of module a 64-bit Windows host loads. */
bool isX64Module (PeByteSource& source);

/** The same for a file (a link is followed); false when it is not a regular file or cannot be opened. */
bool isX64Module (const std::string& path);

} // namespace ov
