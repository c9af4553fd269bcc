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

} // namespace ov
