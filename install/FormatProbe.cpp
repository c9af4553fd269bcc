#include "install/FormatProbe.h"
#include "host/PeVersionReader.h"

#include <filesystem>

namespace ov
{

FormatStatus probeBundle (const juce::File& bundle,
                          const juce::File& versionProbeFile,
                          const juce::String& productVersion,
                          const Host& host)
{
    FormatStatus status;
    status.bundleExists = bundle.exists();

    if (! status.bundleExists)
    {
        status.statusText = "NOT INSTALLED";
        return status;
    }

    status.installedVersion = host.getFileVersion (versionProbeFile);
    status.needsUpdate = status.installedVersion.isNotEmpty()
                          && status.installedVersion.compareNatural (productVersion) < 0;
    status.installState = status.needsUpdate ? InstallState::needsUpdate : InstallState::installed;

    if (status.installedVersion.isNotEmpty())
        status.statusText = "v" + status.installedVersion + " ";

    status.statusText += status.needsUpdate ? "NEEDS UPDATE" : "INSTALLED";
    return status;
}

bool isLoadableCopy (const juce::File& copy)
{
    const auto path = copy.getFullPathName().toStdString();
    std::error_code error;

    // Not File::isDirectory, which takes a socket for a folder.
    return std::filesystem::is_directory (std::filesystem::u8path (path), error) || isX64Module (path);
}

} // namespace ov
