#include "install/ArchiveCheck.h"
#include "host/PeVersionReader.h"
#include "install/BundleInstaller.h"
#include "install/FormatFiles.h"
#include "install/FormatProbe.h"
#include "install/ZipCatalogue.h"
#include "product/ProductManifest.h"

#include <filesystem>
#include <limits>

namespace ov
{

namespace
{
    /** The longest path a run writes below the default install folder is the staging folder beside the
        bundle; this is it as Windows spells it. */
    juce::String getDefaultStagingFolder (int formatIndex, const juce::String& bundleName)
    {
        const auto staging = BundleSiblings (juce::File ("/" + bundleName)).staging.getFileName();
        return (juce::String (windowsCommonFilesBase) + "/" + product::formats[(size_t) formatIndex].defaultSubfolder
                + "/" + staging).replaceCharacter ('/', '\\');
    }

    /** Every entry, read through the framework's reader as the unpack will read it, inflates to no more
        and no less than its recorded size, which the entry rules bound. The unpack writes whatever the
        stream gives before it reads the file back, so an entry that inflates far beyond its record must
        be caught here, where reading stops one byte past it. */
    juce::Result checkInflatedSizes (const juce::MemoryBlock& archive, const std::vector<ZipEntryRecord>& records)
    {
        juce::ZipFile reader (new juce::MemoryInputStream (archive, false), true);

        for (int i = 0; i < reader.getNumEntries() && i < (int) records.size(); ++i)
        {
            const auto& record = records[(size_t) i];
            const std::unique_ptr<juce::InputStream> in (reader.createStreamForEntry (i));

            if (in == nullptr || record.isFolder())
                continue;

            in->skipNextBytes ((juce::int64) record.uncompressedSize + 1);

            if (in->getPosition() != (juce::int64) record.uncompressedSize)
                return juce::Result::fail (record.name + ": does not unpack to the " + juce::String (record.uncompressedSize)
                                           + " bytes it records");
        }

        return juce::Result::ok();
    }

    juce::Result checkUnpacked (int formatIndex, const juce::File& installFolder, const juce::String& productName)
    {
        const auto& format = product::formats[(size_t) formatIndex];
        const auto files = makeFormatFiles (installFolder, productName, formatIndex);
        const auto& module = files.versionProbeFile;
        const auto modulePath = module.getRelativePathFrom (installFolder);
        const auto fail = [&modulePath] (const juce::String& rule) { return juce::Result::fail (modulePath + ": " + rule); };

        if (! module.existsAsFile())
            return fail ("no module at the path where the installer reads its version");

        if (! isX64PeImage (module))
            return fail ("the module is not a 64-bit x86 Windows image (PE32+, machine x86-64)");

        // The probe asks the host only for the module's version, as the installed program reads it.
        const SystemHost host;
        const auto status = probeBundle (files.bundle, module, product::pluginVersion, host);

        if (format.moduleCarriesVersion && status.installedVersion.isEmpty())
            return fail ("the module has no file version, so the installer could not tell an old copy from this one");

        if (status.installState != InstallState::installed)
            return fail ("file version " + status.installedVersion + " orders before the product version "
                         + product::pluginVersion + ", so every install would read back as NEEDS UPDATE");

        return juce::Result::ok();
    }
}

bool isX64PeImage (const juce::File& module)
{
    return isX64Module (module.getFullPathName().toStdString());
}

juce::Result checkProductArchive (int formatIndex, const juce::MemoryBlock& archive, const juce::File& scratchParent)
{
    const auto productName = product::makeProductName (product::productIdentifier);
    const auto bundleName = productName + product::formats[(size_t) formatIndex].extension;
    const auto records = readZipCatalogue (archive.getData(), archive.getSize());

    if (! records)
        return juce::Result::fail ("not an archive the installer reads (damaged, or several disks or 64-bit sizes)");

    auto rules = checkBundleEntries (*records, bundleName);

    if (rules.wasOk())
        rules = checkWindowsPathLengths (*records, getDefaultStagingFolder (formatIndex, bundleName));

    if (rules.wasOk())
        rules = checkInflatedSizes (archive, *records);

    if (rules.failed())
        return rules;

    const auto scratch = scratchParent.getNonexistentChildFile ("ov-archive-check", {}, false);

    if (scratch.createDirectory().failed())
        return juce::Result::fail ("cannot make a scratch folder in " + scratchParent.getFullPathName());

    auto result = unpackArchive (archive, scratch);

    if (result.failed())
        result = juce::Result::fail ("does not unpack: " + result.getErrorMessage());
    else
        result = checkUnpacked (formatIndex, scratch, productName);

    scratch.deleteRecursively (false);
    return result;
}

juce::Result checkProductArchiveFile (const juce::File& archive, const juce::File& scratchParent)
{
    juce::StringArray archiveNames;

    for (const auto& format : product::formats)
        archiveNames.add (format.archive);

    const auto formatIndex = archiveNames.indexOf (archive.getFileName());

    if (formatIndex < 0)
        return juce::Result::fail ("not one of the format table's archives (" + archiveNames.joinIntoString (", ") + ")");

    // A FIFO or a device would block or never end; the catalogue also counts sizes in an int.
    std::error_code error;
    const auto path = std::filesystem::path (archive.getFullPathName().toStdString());

    if (! std::filesystem::is_regular_file (std::filesystem::symlink_status (path, error)))
        return juce::Result::fail ("not a regular file");

    if (archive.getSize() > std::numeric_limits<int>::max())
        return juce::Result::fail ("over 2 GiB, more than the resource catalogue can embed");

    juce::MemoryBlock bytes;

    if (! archive.loadFileAsData (bytes))
        return juce::Result::fail ("cannot be read");

    return checkProductArchive (formatIndex, bytes, scratchParent);
}

} // namespace ov
