#pragma once

#include "host/Host.h"
#include "install/FormatFiles.h"
#include "install/FormatStatus.h"
#include "install/ZipCatalogue.h"

namespace ov
{

/** The fixed names a run uses beside a bundle, in the same folder. None of them ends in a plug-in
    extension, so no host takes them for a plug-in, and being fixed they let the next run mend a run
    that was killed part-way. */
struct BundleSiblings
{
    explicit BundleSiblings (const juce::File& bundle);

    juce::File bundle;
    juce::File staging;     // the archive is unpacked and checked in here
    juce::File setAside;    // the old bundle while the new one moves in; put back if the run stops
    juce::File discarded;   // on its way out; never put back

    /** The names of the discarded kind: number 1 is `discarded`, higher numbers are the free names a
        discard takes while files that could not be removed hold the lower ones. */
    juce::File discardedNumber (int number) const;
    bool isDiscardedName (const juce::String& name) const;
};

/** The plain words a failed format reports, without the format's name. */
namespace failureReasons
{
    inline constexpr const char* oldBundleInUse       = "a file of the old plug-in is in use by another program";
    inline constexpr const char* oldBundleProtected   = "a file of the old plug-in is in use or write-protected";
    inline constexpr const char* bundleInUse          = "a file of the plug-in is in use by another program";
    inline constexpr const char* bundleProtected      = "a file of the plug-in is in use or write-protected";
    inline constexpr const char* folderNotWritable    = "the install folder cannot be written";
    inline constexpr const char* archiveDamaged       = "the built-in archive is damaged";
    inline constexpr const char* notEnoughDiskSpace   = "not enough disk space";
    inline constexpr const char* notEnoughMemory      = "not enough memory";
    inline constexpr const char* notReadBack          = "the new plug-in did not read back as installed";
    inline constexpr const char* stillPresent         = "the plug-in is still there after removing it";
    inline constexpr const char* bundlePathTaken      = "another program put something at the plug-in's place meanwhile; it was left there";
    inline constexpr const char* leftoversStuck       = "files left over from an earlier run cannot be removed";
    inline constexpr const char* anotherCopyBusy      = "another copy of the installer is busy; nothing was changed";
    inline constexpr const char* cannotRunAlone       = "the installer could not make sure it runs alone; nothing was changed";
}

/** The note of a format that succeeded but left old files that could not be removed, and where. */
juce::String describeLeftFiles (const juce::File& leftover);

/** Mends what a killed run left beside the bundle: an old bundle that was set aside goes back when
    nothing is at the bundle path, then the run's other leftovers are discarded, and what earlier runs
    could not remove is tried again. Nothing else is touched. False when something the run needs to
    be free is still there: a set-aside old bundle that could not go back, or a leftover that could not
    be moved. */
bool recoverInterruptedRun (const juce::File& bundle);

/** Writes every entry of the archive copy below targetFolder with the framework's reader, reading the
    copy in place, and reads each written file back against the archive's own record (size and CRC-32),
    since the reader itself checks neither what it inflates nor what it writes. Stops at the first entry
    that fails; the error is a failure reason. */
juce::Result unpackArchive (const juce::MemoryBlock& archiveCopy, const juce::File& targetFolder);

/** Replaces the bundle with the one in the archive, or leaves the old one as it was. The archive is
    copied to memory and its entries checked; unpackArchive writes the copy into the staging folder; only
    then is the old bundle set aside, the new one moved in and the old one deleted. Once the new bundle is
    in place it must read back as installed in productVersion, else the old bundle is put back. Old files
    that cannot be deleted stay under a discarded name, told in a note: the plug-in is installed. */
FormatOutcome installBundle (const FormatFiles& files, const void* archiveData, size_t archiveSize,
                             const juce::String& productVersion, const Host& host);

/** Moves the bundle aside and deletes it; a bundle that cannot be moved stays complete. A symbolic
    link is removed as a link. Nothing at the bundle path is no failure. Files that cannot be deleted
    stay under a discarded name, told in a note: the plug-in is gone. */
FormatOutcome uninstallBundle (const juce::File& bundle);

} // namespace ov
