#pragma once

#include <juce_core/juce_core.h>

namespace ov
{

/** Whether an archive, embedded as the archive of the format at formatIndex, would install a bundle that
    reads back as installed. It follows the installer's own steps: the catalogue is read and its entries
    checked as an install checks them, the archive is unpacked into a scratch folder below scratchParent by
    the installer's unpack (which verifies every file against its CRC-32), and the installed bundle is
    probed as the panel probes it. On top, every path must be within Windows' limits below the format's
    default folder, every entry must inflate to no more than it records (checked before anything is
    written), and the module at the probe path must be a 64-bit x86 PE image, with a version when the
    format table says it has one. The error names the entry and the rule. */
juce::Result checkProductArchive (int formatIndex, const juce::MemoryBlock& archive, const juce::File& scratchParent);

/** The same for an archive file, whose name must be one of the format table's archive names. */
juce::Result checkProductArchiveFile (const juce::File& archive, const juce::File& scratchParent);

/** Whether the file starts with the headers of a 64-bit x86 (x86-64) PE image. */
bool isX64PeImage (const juce::File& module);

} // namespace ov
