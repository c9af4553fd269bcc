#pragma once

#include <juce_core/juce_core.h>

#include <string>

namespace ov
{

/** A lock that processes take in turn and never two at once: on Windows a named mutex; elsewhere a write
    lock on a file that the holder removes as it lets go, in a folder that only the user who runs us can
    change, reached without following a link. A lock that cannot be made or checked is said to be so:
    never taken for held, and never for held by another process. */
class ProcessLock final
{
public:
    enum class State
    {
        held,
        heldByAnother,   // another process kept it for the whole wait
        unavailable      // it could not be made or checked, so no one can tell who holds it
    };

    /** Takes the lock at location (Host::getLockLocation), waiting at most waitMilliseconds while
        another process holds it. */
    ProcessLock (const juce::String& location, int waitMilliseconds);
    ~ProcessLock();

    State getState() const noexcept     { return state; }

private:
    State state = State::unavailable;

   #if JUCE_WINDOWS
    void* mutex = nullptr;
   #else
    int folder = -1;
    int file = -1;
    std::string fileName;
   #endif

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ProcessLock)
};

} // namespace ov
