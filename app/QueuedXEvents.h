#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** Hands the framework the X events that Xlib has already taken off the server connection.

    The framework reads X events only when the connection becomes readable. Every call that waits for an answer
    from the server (bringing the window to the front, reading one of its properties, the repaint's check for a
    drawn image) first moves all the events that came before the answer into Xlib's own queue, where the
    connection no longer shows them: they wait there until the server sends something more. With no window
    manager nothing more may come, and a close request that arrived during such a call was never answered. */
class QueuedXEvents final : private juce::Timer
{
public:
    QueuedXEvents()    { startTimer (20); }

private:
    void timerCallback() override;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QueuedXEvents)
};
