#include "install/BundleInstaller.h"
#include "host/RenameNoReplace.h"
#include "install/FormatProbe.h"

#include <zlib.h>

#include <cstring>
#include <limits>
#include <optional>

namespace ov
{

namespace
{
    constexpr size_t readBackBufferSize = 256 * 1024;
    constexpr juce::uint64 smallestWrite = 4096;

    FormatOutcome succeeded()
    {
        return { true, true, {} };
    }

    FormatOutcome failed (const juce::String& reason)
    {
        return { true, false, reason };
    }

    /** The framework's block throws when it cannot allocate (or hands back no memory where exceptions are
        off); either way the run must say so rather than go on. */
    std::optional<juce::MemoryBlock> copyArchive (const void* data, size_t size)
    {
        try
        {
            std::optional<juce::MemoryBlock> copy (std::in_place, size, false);

            if (size > 0 && copy->getData() == nullptr)
                return {};

            if (size > 0)
                std::memcpy (copy->getData(), data, size);

            return copy;
        }
        catch (const std::bad_alloc&)
        {
            return {};
        }
    }

    struct Digest
    {
        juce::uint64 size = 0;
        juce::uint32 crc = 0;
    };

    Digest digestStream (juce::InputStream& in, char* buffer, juce::uint64 stopAfter)
    {
        Digest digest;
        auto crc = ::crc32 (0, nullptr, 0);

        while (digest.size <= stopAfter)
        {
            const auto numRead = in.read (buffer, (int) readBackBufferSize);

            if (numRead <= 0)
                break;

            crc = ::crc32 (crc, reinterpret_cast<const Bytef*> (buffer), (uInt) numRead);
            digest.size += (juce::uint64) numRead;
        }

        digest.crc = (juce::uint32) crc;
        return digest;
    }

    bool matches (const Digest& digest, const ZipEntryRecord& record)
    {
        return digest.size == record.uncompressedSize && digest.crc == record.crc32;
    }

    /** A write that failed did so for want of space when the volume has less left than was still to come. */
    bool isOutOfSpace (const juce::File& folder, juce::uint64 bytesStillToWrite)
    {
        const auto freeBytes = (juce::uint64) juce::jmax ((juce::int64) 0, folder.getBytesFreeOnVolume());
        return freeBytes < juce::jmax (bytesStillToWrite, smallestWrite);
    }

    const char* explainWriteFailure (const juce::File& folder, juce::uint64 bytesStillToWrite)
    {
        return isOutOfSpace (folder, bytesStillToWrite) ? failureReasons::notEnoughDiskSpace
                                                        : failureReasons::folderNotWritable;
    }

    /** A written file that differs from its record: the disk ran full, or the archive itself is bad
        (inflating the entry again in memory tells), or else the file did not get written as given. */
    const char* explainBadFile (juce::ZipFile& archive, int index, const ZipEntryRecord& record,
                                const juce::File& folder, juce::uint64 sizeWritten, char* buffer)
    {
        if (sizeWritten < record.uncompressedSize && isOutOfSpace (folder, record.uncompressedSize - sizeWritten))
            return failureReasons::notEnoughDiskSpace;

        const std::unique_ptr<juce::InputStream> entry (archive.createStreamForEntry (index));

        if (entry == nullptr || ! matches (digestStream (*entry, buffer, record.uncompressedSize), record))
            return failureReasons::archiveDamaged;

        return failureReasons::folderNotWritable;
    }

    bool removeCompletely (const juce::File& path)
    {
        path.deleteRecursively (false);
        return ! pathIsTaken (path);
    }

    const char* explainMoveFailure (RenameFailure failure, const char* inUse, const char* protectedFile)
    {
        switch (failure)
        {
            case RenameFailure::inUse:         return inUse;
            case RenameFailure::accessDenied:  return protectedFile;
            case RenameFailure::noSpace:       return failureReasons::notEnoughDiskSpace;
            case RenameFailure::none:
            case RenameFailure::destinationExists:
            case RenameFailure::other:
            default:                           return failureReasons::folderNotWritable;
        }
    }
}

BundleSiblings::BundleSiblings (const juce::File& bundleFile)
    : bundle (bundleFile),
      staging (bundleFile.getSiblingFile (bundleFile.getFileName() + ".ov-new")),
      setAside (bundleFile.getSiblingFile (bundleFile.getFileName() + ".ov-old")),
      discarded (bundleFile.getSiblingFile (bundleFile.getFileName() + ".ov-del"))
{
}

bool recoverInterruptedRun (const juce::File& bundle)
{
    const BundleSiblings names (bundle);

    if (! pathIsTaken (bundle) && pathIsTaken (names.setAside))
        renameNoReplace (names.setAside, bundle);

    // A set-aside bundle that could not go back is the user's only copy: it stays.
    const auto setAsideIsStale = pathIsTaken (bundle);
    auto clear = ! pathIsTaken (names.setAside) || (setAsideIsStale && removeCompletely (names.setAside));

    for (const auto& leftover : { names.staging, names.discarded })
        if (pathIsTaken (leftover))
            clear = removeCompletely (leftover) && clear;

    return clear;
}

juce::Result unpackArchive (const juce::MemoryBlock& archiveCopy, const juce::File& targetFolder)
{
    const auto fail = [] (const char* reason) { return juce::Result::fail (reason); };
    const auto catalogue = readZipCatalogue (archiveCopy.getData(), archiveCopy.getSize());

    if (! catalogue)
        return fail (failureReasons::archiveDamaged);

    const auto& records = *catalogue;
    juce::ZipFile archive (new juce::MemoryInputStream (archiveCopy, false), true);

    // The framework finds the directory its own way; both readings must name the same entries.
    if (archive.getNumEntries() != (int) records.size())
        return fail (failureReasons::archiveDamaged);

    for (int i = 0; i < archive.getNumEntries(); ++i)
        if (archive.getEntry (i)->filename != records[(size_t) i].name)
            return fail (failureReasons::archiveDamaged);

    juce::HeapBlock<char> buffer (readBackBufferSize);

    if (buffer == nullptr)
        return fail (failureReasons::notEnoughMemory);

    for (int i = 0; i < archive.getNumEntries(); ++i)
    {
        const auto& record = records[(size_t) i];
        const auto target = targetFolder.getChildFile (record.name.replaceCharacter ('\\', '/'));

        if (archive.uncompressEntry (i, targetFolder, true).failed())
            return fail (explainWriteFailure (targetFolder, record.uncompressedSize));

        if (record.isFolder())
        {
            if (! target.isDirectory())
                return fail (failureReasons::folderNotWritable);

            continue;
        }

        juce::FileInputStream written (target);

        if (written.failedToOpen())
            return fail (failureReasons::folderNotWritable);

        const auto digest = digestStream (written, buffer, std::numeric_limits<juce::uint64>::max());

        if (! matches (digest, record))
            return fail (explainBadFile (archive, i, record, targetFolder, digest.size, buffer));
    }

    return juce::Result::ok();
}

FormatOutcome installBundle (const FormatFiles& files, const void* archiveData, size_t archiveSize,
                             const juce::String& productVersion, const Host& host)
{
    const auto& bundle = files.bundle;
    const BundleSiblings names (bundle);

    if (! recoverInterruptedRun (bundle))
        return failed (failureReasons::leftoversStuck);

    auto copy = copyArchive (archiveData, archiveSize);

    if (! copy)
        return failed (failureReasons::notEnoughMemory);

    const auto records = readZipCatalogue (copy->getData(), copy->getSize());

    if (! records || checkBundleEntries (*records, bundle.getFileName()).failed())
        return failed (failureReasons::archiveDamaged);

    const auto installFolder = bundle.getParentDirectory();

    if (installFolder.createDirectory().failed() || names.staging.createDirectory().failed())
    {
        names.staging.deleteRecursively (false);
        return failed (explainWriteFailure (installFolder, smallestWrite));
    }

    const auto unpacked = unpackArchive (*copy, names.staging);
    copy.reset();

    if (unpacked.failed())
    {
        names.staging.deleteRecursively (false);
        return failed (unpacked.getErrorMessage());
    }

    const auto staged = names.staging.getChildFile (bundle.getFileName());
    const auto hadOldBundle = pathIsTaken (bundle);

    if (hadOldBundle)
    {
        if (const auto failure = renameNoReplace (bundle, names.setAside); failure != RenameFailure::none)
        {
            names.staging.deleteRecursively (false);
            return failed (explainMoveFailure (failure, failureReasons::oldBundleInUse, failureReasons::oldBundleProtected));
        }
    }

    const auto putOldBack = [&]
    {
        if (hadOldBundle)
            renameNoReplace (names.setAside, bundle);

        names.staging.deleteRecursively (false);
    };

    if (renameNoReplace (staged, bundle) != RenameFailure::none)
    {
        putOldBack();
        return failed (failureReasons::folderNotWritable);
    }

    if (probeBundle (bundle, files.versionProbeFile, productVersion, host).installState != InstallState::installed)
    {
        renameNoReplace (bundle, staged);
        putOldBack();
        return failed (failureReasons::notReadBack);
    }

    names.staging.deleteRecursively (false);

    // Renamed before deleting, so that a deletion that stops half-way never leaves something that
    // would be put back as the plug-in.
    if (hadOldBundle && (renameNoReplace (names.setAside, names.discarded) != RenameFailure::none
                          || ! removeCompletely (names.discarded)))
        return failed (failureReasons::oldFilesLeftBehind);

    return succeeded();
}

FormatOutcome uninstallBundle (const juce::File& bundle)
{
    const BundleSiblings names (bundle);

    if (! recoverInterruptedRun (bundle))
        return failed (failureReasons::leftoversStuck);

    if (! pathIsTaken (bundle))
        return succeeded();

    if (const auto failure = renameNoReplace (bundle, names.discarded); failure != RenameFailure::none)
        return failed (explainMoveFailure (failure, failureReasons::bundleInUse, failureReasons::bundleProtected));

    if (! removeCompletely (names.discarded))
        return failed (failureReasons::filesLeftBehind);

    if (pathIsTaken (bundle))
        return failed (failureReasons::stillPresent);

    return succeeded();
}

} // namespace ov
