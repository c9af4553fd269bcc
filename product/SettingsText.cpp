#include "product/SettingsText.h"
#include "product/ProductManifest.h"
#include "product/SettingsXmlWalk.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

namespace ov
{

namespace
{

using Text = juce::String::CharPointerType;

/** compareIgnoreCaseUpTo (p, ascii) == 0 for lower-case ASCII: the framework folds the case of every
    character it compares, here only those outside ASCII (where the fold could still give an ASCII letter). */
bool startsWithIgnoringCase (Text p, const char* ascii)
{
    for (; *ascii != 0; ++ascii, ++p)
    {
        const auto c = *p;
        const auto wanted = (juce::juce_wchar) *ascii;
        const auto isLetter = wanted >= 'a' && wanted <= 'z';

        if (c == wanted || (isLetter && (c < 128 ? (c | 0x20) == wanted : juce::CharacterFunctions::toUpperCase (c) == wanted - 32)))
            continue;

        return false;
    }

    return true;
}

bool startsReference (Text p)
{
    for (const auto* name : { "amp;", "quot;", "apos;", "lt;", "gt;" })
        if (startsWithIgnoringCase (p, name))
            return true;

    if (*p != '#')
        return false;

    ++p;
    const auto hex = *p == 'x' || *p == 'X';

    if (hex)
        ++p;

    // The framework takes at most 8 hex or 12 decimal digits before the ";".
    int digits = 0;

    for (; *p != ';'; ++p, ++digits)
    {
        const auto isDigit = hex ? juce::CharacterFunctions::getHexDigitValue (*p) >= 0 : (*p >= '0' && *p <= '9');

        if (! isDigit || digits == (hex ? 8 : 12))
            return false;
    }

    return digits > 0;
}

juce::String escapeBareAmpersands (const juce::String& text)
{
    if (! text.containsChar ('&'))
        return text;

    juce::MemoryOutputStream out;
    auto p = text.getCharPointer();
    auto start = p;

    for (; ! p.isEmpty(); ++p)
    {
        if (*p == '&' && ! startsReference (p + 1))
        {
            out.write (start.getAddress(), (size_t) (p.getAddress() - start.getAddress()) + 1);
            out << "amp;";
            start = p + 1;
        }
    }

    out.write (start.getAddress(), (size_t) (p.getAddress() - start.getAddress()));
    return out.toUTF8();
}

/** Whether the text holds "<!DOCTYPE" or "<!ENTITY" in any letter case; a scan of its bytes, since the
    framework's own search folds the case of every character it passes. */
bool declaresAnything (const juce::String& text)
{
    const std::string_view bytes (text.toRawUTF8(), text.getNumBytesAsUTF8());
    const auto isWord = [&bytes] (size_t at, std::string_view word)
    {
        return bytes.size() - at >= word.size()
            && std::equal (word.begin(), word.end(), bytes.begin() + (std::ptrdiff_t) at,
                           [] (char upper, char c) { return upper == std::toupper ((unsigned char) c); });
    };

    for (auto at = bytes.find ("<!"); at != std::string_view::npos; at = bytes.find ("<!", at + 2))
        if (isWord (at + 2, "DOCTYPE") || isWord (at + 2, "ENTITY"))
            return true;

    return false;
}

bool isContinuation (const uint8_t* p, const uint8_t* end, uint8_t low = 0x80, uint8_t high = 0xbf)
{
    return p < end && *p >= low && *p <= high;
}

/** Strict UTF-8: no overlong forms, surrogates or code points past U+10FFFF, nothing cut short. */
bool isValidUtf8 (const uint8_t* p, const uint8_t* end)
{
    while (p < end)
    {
        const auto b = *p++;
        auto extra = 0;

        if (b < 0x80)
            continue;

        if (b >= 0xc2 && b <= 0xdf)
            extra = 1;
        else if (b >= 0xe0 && b <= 0xef)
            extra = 2;
        else if (b >= 0xf0 && b <= 0xf4)
            extra = 3;
        else
            return false;

        // The second byte's range closes off overlong forms, surrogates and values past U+10FFFF.
        const uint8_t low = b == 0xe0 ? 0xa0 : (b == 0xf0 ? 0x90 : 0x80);
        const uint8_t high = b == 0xed ? 0x9f : (b == 0xf4 ? 0x8f : 0xbf);

        if (! isContinuation (p, end, low, high))
            return false;

        for (auto i = 1; i < extra; ++i)
            if (! isContinuation (p + i, end))
                return false;

        p += extra;
    }

    return true;
}

/** The characters as a string, in one step: appending them one at a time costs the length of the text each. */
juce::String fromCodePoints (std::vector<juce::juce_wchar>& characters)
{
    characters.push_back (0);
    return juce::String (juce::CharPointer_UTF32 (characters.data()));
}

juce::String fromWindows1252 (const uint8_t* p, const uint8_t* end)
{
    // 0x80 to 0x9F; the rest of the code page is Latin-1. Unassigned bytes keep their value.
    static constexpr juce::juce_wchar high[32] = {
        0x20ac, 0x81, 0x201a, 0x192, 0x201e, 0x2026, 0x2020, 0x2021, 0x2c6, 0x2030, 0x160, 0x2039, 0x152, 0x8d, 0x17d, 0x8f,
        0x90, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014, 0x2dc, 0x2122, 0x161, 0x203a, 0x153, 0x9d, 0x17e, 0x178 };

    std::vector<juce::juce_wchar> characters;
    characters.reserve ((size_t) (end - p) + 1);

    for (; p < end && *p != 0; ++p)
        characters.push_back (*p >= 0x80 && *p < 0xa0 ? high[*p - 0x80] : (juce::juce_wchar) *p);

    return fromCodePoints (characters);
}

} // namespace

/** The framework's own decoding lets unpaired surrogates through as characters that no encoding holds,
    and its string functions then read past the text: those, and an odd last byte, become U+FFFD. */
static juce::String fromUtf16 (const uint8_t* p, const uint8_t* end, bool bigEndian)
{
    std::vector<juce::juce_wchar> characters;
    characters.reserve ((size_t) (end - p) / 2 + 2);

    const auto unitAt = [bigEndian] (const uint8_t* q) -> uint32_t
    {
        return bigEndian ? (uint32_t) ((q[0] << 8) | q[1]) : (uint32_t) ((q[1] << 8) | q[0]);
    };

    while (end - p >= 2)
    {
        const auto unit = unitAt (p);
        p += 2;

        if (unit >= 0xd800 && unit < 0xdc00 && end - p >= 2 && unitAt (p) >= 0xdc00 && unitAt (p) < 0xe000)
        {
            characters.push_back ((juce::juce_wchar) (0x10000 + ((unit - 0xd800) << 10) + (unitAt (p) - 0xdc00)));
            p += 2;
        }
        else
        {
            characters.push_back ((juce::juce_wchar) (unit >= 0xd800 && unit < 0xe000 ? 0xfffd : unit));
        }
    }

    if (p != end)
        characters.push_back (0xfffd);

    return fromCodePoints (characters);
}

juce::String decodeSettingsBytes (const juce::MemoryBlock& bytes)
{
    const auto* p = static_cast<const uint8_t*> (bytes.getData());
    const auto* end = p + bytes.getSize();

    if (bytes.getSize() >= 2 && ((p[0] == 0xff && p[1] == 0xfe) || (p[0] == 0xfe && p[1] == 0xff)))
        return fromUtf16 (p + 2, end, p[0] == 0xfe);

    if (bytes.getSize() >= 3 && p[0] == 0xef && p[1] == 0xbb && p[2] == 0xbf)
        p += 3;

    return isValidUtf8 (p, end) ? juce::String::fromUTF8 (reinterpret_cast<const char*> (p), (int) (end - p))
                                : fromWindows1252 (p, end);
}

std::optional<juce::String> prepareSettingsText (const juce::String& text)
{
    if (declaresAnything (text))
        return {};

    juce::StringArray keys;

    for (const auto& format : product::formats)
        keys.add (format.settingsKey);

    return reduceToRootValues (escapeBareAmpersands (text), keys);
}

} // namespace ov
