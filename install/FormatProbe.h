#pragma once

#include "host/Host.h"
#include "install/FormatStatus.h"

namespace ov
{

/** Looks at one format's bundle as it is on disk right now; nothing is remembered between calls.
    The version comes from versionProbeFile and is compared with productVersion by natural ordering,
    the installed version on the left: only an installed version that orders first needs an update. */
FormatStatus probeBundle (const juce::File& bundle,
                          const juce::File& versionProbeFile,
                          const juce::String& productVersion,
                          const Host& host);

/** Whether a host would take what is at the path for a plug-in and load it: a bundle folder, or a file
    that is a 64-bit Windows module (links followed). A dangling link, a pipe, a socket, a device or a
    file of anything else is no plug-in. */
bool isLoadableCopy (const juce::File& copy);

} // namespace ov
