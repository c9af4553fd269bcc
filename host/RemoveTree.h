#pragma once

#include <juce_core/juce_core.h>

namespace ov
{

/** Removes whatever is at the path, a folder with everything in it, without following any link: a link
    is removed as a link, and sockets, pipes and device nodes as files. Every name the system lists is
    seen, names made only of dots included. A folder on another mount than the folder holding the path
    (another file system, or the same one mounted again) is never entered and stays. Any depth is
    removed with a few open folders. True when nothing is left at the path. */
bool removeTree (const juce::File& path);

/** Every name the system lists in a folder, hidden ones and names made only of dots included, but
    not "." and "..". Empty when the folder cannot be read. */
juce::StringArray listFolder (const juce::File& folder);

} // namespace ov
