#pragma once

#include <juce_core/juce_core.h>

namespace ov
{

/** Waits until the file's data, or the folder's list of names, is on the disk rather than only in the
    system's cache, so that a power cut after a following rename cannot lose what it names. Links are
    not followed. False when the system reports that the writing failed; a file system that cannot
    flush (such as /proc) counts as flushed. */
bool flushToDisk (const juce::File& fileOrFolder);

/** flushToDisk for the folder and everything below it; false when any of it failed. */
bool flushTreeToDisk (const juce::File& folder);

} // namespace ov
