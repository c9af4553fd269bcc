#include "host/WindowRenderer.h"

#if JUCE_WINDOWS
 #include <windows.h>
#endif

namespace ov
{

static bool isRunningOnWine()
{
   #if JUCE_WINDOWS
    // Wine's own system library names its version; Windows' never does.
    const auto ntdll = GetModuleHandleW (L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress (ntdll, "wine_get_version") != nullptr;
   #else
    return false;
   #endif
}

void useRendererThatPresents (juce::ComponentPeer& peer)
{
    if (! isRunningOnWine())
        return;

    const auto software = peer.getAvailableRenderingEngines().indexOf ("Software Renderer");

    if (software >= 0)
        peer.setCurrentRenderingEngine (software);
}

} // namespace ov
