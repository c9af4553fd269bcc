#pragma once

#include <juce_core/juce_core.h>

#include <optional>

namespace ov
{

/** The first maxBytes bytes of a regular file (a link is followed to one), read without waiting: a
    FIFO, socket, device or folder at the path gives nothing, as does a failed read, and the size the file
    system claims is never trusted. */
std::optional<juce::MemoryBlock> readRegularFile (const juce::File& file, size_t maxBytes);

} // namespace ov
