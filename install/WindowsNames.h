#pragma once

#include <juce_core/juce_core.h>

namespace ov
{

/** What Windows makes of a name in a path. Archives are checked on other systems too, so none of this
    asks the system or its locale. */
namespace windowsNames
{
    /** The name as Windows compares names: each UTF-16 unit through one upper-case table, with no rule
        for context (so "σ" and "ς" are both "Σ") and none for characters outside the Basic Multilingual
        Plane, which Windows sees as two units it does not fold. The table is Unicode 15.0's simple
        upper-case mapping of that plane; NTFS keeps its own, fixed when a volume is formatted from an
        older Unicode, so where they differ this folds more, and can only take two names for one that
        Windows keeps apart. */
    juce::String foldCase (const juce::String& name);

    /** Whether Windows opens a device for the name: CON, PRN, AUX, NUL, COM0 to COM9 and LPT0 to LPT9
        (also with the digits ¹ ² ³), CONIN$ or CONOUT$, in any case, alone or with an extension
        ("nul.txt"), blanks before the dot ignored. */
    bool isDevice (const juce::String& name);

    /** The length in UTF-16 units, the unit of Windows' limits. */
    int length (const juce::String& text);
}

} // namespace ov
