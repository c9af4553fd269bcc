// The framework's own X declarations: its display and its lock around Xlib.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1

#include "app/QueuedXEvents.h"

#include <juce_events/native/juce_EventLoopInternal_linux.h>

void QueuedXEvents::timerCallback()
{
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    auto* display = windowSystem != nullptr ? windowSystem->getDisplay() : nullptr;

    if (display == nullptr)
        return;

    auto& x = *juce::X11Symbols::getInstance();
    int connection = -1;

    {
        const juce::XWindowSystemUtilities::ScopedXLock lock;

        // Counts only what Xlib holds: no call to the server.
        if (x.xEventsQueued (display, QueuedAlready) == 0)
            return;

        connection = x.xConnectionNumber (display);
    }

    // The framework's handler for the connection, as if it had become readable: it takes every queued event.
    juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd (connection);
}
