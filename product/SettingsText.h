#pragma once

#include <juce_core/juce_core.h>

#include <optional>

namespace ov
{

/** The deepest element nesting a settings file may have; the maker's file has none, and the framework's
    parser recurses once per level. */
inline constexpr int maxSettingsNesting = 16;

/** The text of a settings file's bytes, as the framework reads a file: UTF-16 after its byte-order mark,
    else UTF-8 (its mark skipped) when the bytes are valid UTF-8, else Windows-1252. Unlike the framework's
    own decoding it never lets malformed UTF-8 through, which its string functions would read past. */
juce::String decodeSettingsBytes (const juce::MemoryBlock& bytes);

/** The text of a settings file made safe for the framework's XML reader, or nothing when it is to be
    treated as unreadable: it carries a document type (whose entities the framework would expand without
    limit), nests elements deeper than maxSettingsNesting, or holds a processing instruction inside an
    element (on which the framework's parser can loop for ever). An "&" that starts none of the five
    predefined entities nor a numeric character reference becomes "&amp;", so it reads as itself. */
std::optional<juce::String> prepareSettingsText (const juce::String& text);

} // namespace ov
