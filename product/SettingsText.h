#pragma once

#include <juce_core/juce_core.h>

#include <optional>

namespace ov
{

/** The text of a settings file's bytes, as the framework reads a file: UTF-16 after its byte-order mark,
    else UTF-8 (its mark skipped) when the bytes are valid UTF-8, else Windows-1252. Unlike the framework's
    own decoding it never lets malformed UTF-8 through, which its string functions would read past. */
juce::String decodeSettingsBytes (const juce::MemoryBlock& bytes);

/** The text of a settings file reduced to what the framework's XML reader may be given: its root element
    with only the values of the three settings keys (reduceToRootValues), or nothing when the file is to
    be treated as unreadable: it carries a document type (whose entities the framework would expand without
    limit), or the reader would yield no root element from it. An "&" that starts none of the five
    predefined entities nor a numeric character reference becomes "&amp;", so it reads as itself. */
std::optional<juce::String> prepareSettingsText (const juce::String& text);

} // namespace ov
