#pragma once

#include <juce_core/juce_core.h>

#include <optional>

namespace ov
{

/** The deepest element nesting a settings file may have; the maker's file has none, and the framework's
    reader recurses once per level. */
inline constexpr int maxSettingsNesting = 16;

/** The longest settings value, in characters: no system takes a longer folder path, and the framework
    creates a folder's parents one call deeper each. */
inline constexpr int maxSettingsValueLength = 4096;

/** What the framework's XML reader (XmlDocument) makes of a text in which every "&" starts one of the
    five predefined entities or a numeric character reference: nothing when it would yield no root element,
    nest deeper than maxSettingsNesting or never finish; else a document of the root element alone, with
    the first value of each of the names that the root carries (one longer than maxSettingsValueLength
    characters left empty), for that reader to decode. The walk is linear in the text. */
std::optional<juce::String> reduceToRootValues (const juce::String& text, const juce::StringArray& names);

} // namespace ov
