#include "install/BundleInstaller.h"
#include "host/FlushToDisk.h"
#include "host/RemoveTree.h"
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

    // Names of the discarded kind with higher numbers than this are not counted when choosing the next
    // number, so that a hostile name cannot make the count overflow.
    constexpr juce::int64 maxDiscardedNumber = 1000000000;

    FormatOutcome succeeded()
    {
        return { true, true, {}, {} };
    }

    FormatOutcome failed (const juce::String& reason)
    {
        return { true, false, reason, {} };
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

    /** A write that failed did so for want of space when the volume has less left than was still to come.
        A volume that reports no size at all (such as /proc) tells nothing about space. */
    bool isOutOfSpace (const juce::File& folder, juce::uint64 bytesStillToWrite)
    {
        if (folder.getVolumeTotalSize() <= 0)
            return false;

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

    struct Discarded
    {
        RenameFailure moveFailure = RenameFailure::none;   // why it could not be moved, if it was not
        juce::String note;                                 // what stays, and where, if anything does
    };

    /** One above the highest number that a discarded name in the bundle's folder holds, so that however
        many names earlier runs could not clear, the next discard takes a free one at its first try. */
    int nextDiscardedNumber (const BundleSiblings& names, const juce::StringArray& folderNames)
    {
        juce::int64 highest = 0;

        for (const auto& name : folderNames)
        {
            if (! names.isDiscardedName (name))
                continue;

            const auto number = name == names.discarded.getFileName() ? 1 : name.fromLastOccurrenceOf ("-", false, false).getLargeIntValue();

            if (number <= maxDiscardedNumber)
                highest = juce::jmax (highest, number);
        }

        return (int) highest + 1;
    }

    /** Renames what is at the path to a free name of the discarded kind, so that it is never put back,
        and deletes it there. Files that cannot be deleted stay under that name; a later recovery tries
        again. */
    Discarded discard (const BundleSiblings& names, const juce::File& path)
    {
        const auto folderNames = listFolder (names.bundle.getParentDirectory());
        auto number = nextDiscardedNumber (names, folderNames);
        auto failure = RenameFailure::destinationExists;

        // A name found taken was made after the listing: one more try per name the folder held is plenty.
        for (int tries = 0; tries <= folderNames.size() && failure == RenameFailure::destinationExists; ++tries)
        {
            const auto destination = names.discardedNumber (number++);
            failure = renameNoReplace (path, destination);

            if (failure == RenameFailure::none)
                return { failure, removeTree (destination) ? juce::String() : describeLeftFiles (destination) };
        }

        return { failure, "the old plug-in could not be moved away to be deleted and was left in " + path.getFullPathName() };
    }

    FormatOutcome succeededLeaving (const Discarded& discarded)
    {
        auto outcome = succeeded();

        if (discarded.note.isNotEmpty())
            outcome.notes.add (discarded.note);

        return outcome;
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

juce::File BundleSiblings::discardedNumber (int number) const
{
    return number <= 1 ? discarded : discarded.getSiblingFile (discarded.getFileName() + "-" + juce::String (number));
}

bool BundleSiblings::isDiscardedName (const juce::String& name) const
{
    const auto base = discarded.getFileName();

    if (name == base)
        return true;

    const auto number = name.fromFirstOccurrenceOf (base + "-", false, false);
    return name.startsWith (base + "-") && number.isNotEmpty() && number.containsOnly ("0123456789");
}

juce::String describeLeftFiles (const juce::File& leftover)
{
    return "old files that could not be removed were left in " + leftover.getFullPathName();
}

bool recoverInterruptedRun (const juce::File& bundle)
{
    const BundleSiblings names (bundle);

    if (! pathIsTaken (bundle) && pathIsTaken (names.setAside))
        renameNoReplace (names.setAside, bundle);

    // A set-aside bundle that could not go back is the user's only copy: it stays.
    if (pathIsTaken (names.setAside) && pathIsTaken (bundle))
        discard (names, names.setAside);

    if (pathIsTaken (names.staging))
        discard (names, names.staging);

    // What earlier runs could not delete holds no name the run needs: tried again, quietly.
    for (const auto& name : listFolder (bundle.getParentDirectory()))
        if (names.isDiscardedName (name))
            removeTree (bundle.getSiblingFile (name));

    return ! pathIsTaken (names.setAside) && ! pathIsTaken (names.staging);
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
        removeTree (names.staging);
        return failed (explainWriteFailure (installFolder, smallestWrite));
    }

    const auto unpacked = unpackArchive (*copy, names.staging);
    copy.reset();

    if (unpacked.failed())
    {
        removeTree (names.staging);
        return failed (unpacked.getErrorMessage());
    }

    const auto staged = names.staging.getChildFile (bundle.getFileName());

    // On the disk before the old bundle moves, so that a power cut after the swap finds the new one whole.
    if (! flushTreeToDisk (names.staging))
    {
        removeTree (names.staging);
        return failed (explainWriteFailure (installFolder, smallestWrite));
    }

    const auto hadOldBundle = pathIsTaken (bundle);

    if (hadOldBundle)
    {
        if (const auto failure = renameNoReplace (bundle, names.setAside); failure != RenameFailure::none)
        {
            removeTree (names.staging);
            return failed (explainMoveFailure (failure, failureReasons::oldBundleInUse, failureReasons::oldBundleProtected));
        }
    }

    const auto putOldBack = [&]
    {
        if (hadOldBundle)
            renameNoReplace (names.setAside, bundle);

        removeTree (names.staging);
    };

    if (const auto failure = renameNoReplace (staged, bundle); failure != RenameFailure::none)
    {
        putOldBack();
        return failed (failure == RenameFailure::destinationExists ? failureReasons::bundlePathTaken
                                                                   : failureReasons::folderNotWritable);
    }

    // Both renames on the disk before anything old is deleted.
    flushToDisk (installFolder);

    if (probeBundle (bundle, files.versionProbeFile, productVersion, host).installState != InstallState::installed)
    {
        renameNoReplace (bundle, staged);
        putOldBack();
        return failed (failureReasons::notReadBack);
    }

    removeTree (names.staging);

    // Renamed before deleting, so that a deletion that stops half-way never leaves something that
    // would be put back as the plug-in.
    return succeededLeaving (hadOldBundle ? discard (names, names.setAside) : Discarded {});
}

FormatOutcome uninstallBundle (const juce::File& bundle)
{
    const BundleSiblings names (bundle);

    if (! recoverInterruptedRun (bundle))
        return failed (failureReasons::leftoversStuck);

    if (! pathIsTaken (bundle))
        return succeeded();

    const auto discarded = discard (names, bundle);

    if (discarded.moveFailure != RenameFailure::none)
        return failed (explainMoveFailure (discarded.moveFailure, failureReasons::bundleInUse, failureReasons::bundleProtected));

    if (pathIsTaken (bundle))
        return failed (failureReasons::stillPresent);

    return succeededLeaving (discarded);
}

} // namespace ov
