#pragma once

#include <juce_core/juce_core.h>

#include <functional>

namespace ov::test
{

/** While one lives, records the engine's flushes (fsync) and renames (renameat2) in order, as
    "flush PATH" and "rename FROM -> TO". The test program defines those two C library calls itself, so
    every call reaches the log before it reaches the system. */
class FileCallLog final
{
public:
    FileCallLog();
    ~FileCallLog();

    /** Run after each rename that succeeded: lets a test change the folder between two steps of a run. */
    std::function<void (const juce::String& from, const juce::String& to)> afterRename;

    juce::StringArray calls;

    /** The index of the first call equal to text, or -1. */
    int indexOf (const juce::String& text) const    { return calls.indexOf (text); }

private:
    JUCE_DECLARE_NON_COPYABLE (FileCallLog)
};

} // namespace ov::test
