#include "product/SettingsText.h"

namespace ov
{

namespace
{

using Text = juce::String::CharPointerType;

bool startsWith (Text p, const char* ascii)
{
    return p.compareUpTo (juce::CharPointer_ASCII (ascii), (int) std::strlen (ascii)) == 0;
}

/** Moves past the next occurrence of ascii; false (nothing more to read) when there is none. */
bool skipPast (Text& p, const char* ascii)
{
    const auto at = p.indexOf (juce::CharPointer_ASCII (ascii));

    if (at < 0)
        return false;

    p += at + (int) std::strlen (ascii);
    return true;
}

bool startsReference (Text p)
{
    for (const auto* name : { "amp;", "quot;", "apos;", "lt;", "gt;" })
        if (p.compareIgnoreCaseUpTo (juce::CharPointer_ASCII (name), (int) std::strlen (name)) == 0)
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
            out << juce::String (start, p + 1) << "amp;";
            start = p + 1;
        }
    }

    out << juce::String (start, p);
    return out.toUTF8();
}

// The framework's XML name characters (XmlIdentifierChars in juce_XmlDocument.cpp), exactly.
bool isNameChar (juce::juce_wchar c)
{
    if (c < 128)
        return juce::CharacterFunctions::isLetterOrDigit ((char) c) || c == '_' || c == '-' || c == ':' || c == '.';

    return c >= 160 && juce::CharacterFunctions::isLetterOrDigit (c);
}

/** Whitespace, comments and processing instructions, skipped as the framework skips them between
    tokens; false when the text ends on the way. */
bool skipGap (Text& p)
{
    for (;;)
    {
        p.incrementToEndOfWhitespace();

        if (p.isEmpty())
            return false;

        if (startsWith (p, "<!--"))
        {
            p += 4;

            if (! skipPast (p, "-->"))
                return false;
        }
        else if (startsWith (p, "<?"))
        {
            p += 2;

            if (! skipPast (p, "?>"))
                return false;
        }
        else
        {
            return true;
        }
    }
}

/** Follows the framework's parser over the text, level by level, without recursing. Where the two could
    differ it counts a level as still open, so the parser never goes deeper than the count. */
bool nestsTooDeeply (const juce::String& text)
{
    auto p = text.getCharPointer();
    int depth = 0;

    while (! p.isEmpty())
    {
        if (*p != '<')
        {
            ++p;
            continue;
        }

        if (startsWith (p, "<!--") || startsWith (p, "<?") || startsWith (p, "<![CDATA["))
        {
            const auto* end = startsWith (p, "<!--") ? "-->" : (p[1] == '?' ? "?>" : "]]>");
            p += 2;

            if (! skipPast (p, end))
                return false;

            continue;
        }

        if (p[1] == '/')
        {
            depth = juce::jmax (0, depth - 1);

            if (! skipPast (p, ">"))
                return false;

            continue;
        }

        auto name = p + 1;

        if (! isNameChar (*name) && (! skipGap (name) || ! isNameChar (*name)))
        {
            // No tag name: the parser makes no element here.
            ++p;
            continue;
        }

        if (++depth > maxSettingsNesting)
            return true;

        p = name;

        while (isNameChar (*p))
            ++p;

        // The attributes, as the parser reads them; anything else ends the element's tag, which is then
        // still counted as open.
        for (;;)
        {
            if (! skipGap (p))
                return false;

            if (*p == '/' && p[1] == '>')
            {
                p += 2;
                --depth;
                break;
            }

            if (*p == '>')
            {
                ++p;
                break;
            }

            if (! isNameChar (*p))
                break;

            while (isNameChar (*p))
                ++p;

            if (! skipGap (p) || *p != '=')
                break;

            ++p;

            if (! skipGap (p) || (*p != '"' && *p != '\''))
                break;

            // Every "&" now starts a reference that ends before any quote, so the value ends at the next one.
            const auto quote = *p;
            ++p;

            while (! p.isEmpty() && *p != quote)
                ++p;

            if (p.isEmpty())
                return false;

            ++p;
        }
    }

    return false;
}

} // namespace

std::optional<juce::String> prepareSettingsText (const juce::String& text)
{
    if (text.containsIgnoreCase ("<!DOCTYPE") || text.containsIgnoreCase ("<!ENTITY"))
        return {};

    auto escaped = escapeBareAmpersands (text);

    if (nestsTooDeeply (escaped))
        return {};

    return escaped;
}

} // namespace ov
