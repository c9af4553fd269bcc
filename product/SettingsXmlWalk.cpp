#include "product/SettingsXmlWalk.h"

#include <cstring>
#include <vector>

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

// The framework's XML name characters (XmlIdentifierChars in juce_XmlDocument.cpp), exactly.
bool isNameChar (juce::juce_wchar c)
{
    if (c < 128)
        return juce::CharacterFunctions::isLetterOrDigit ((char) c) || c == '_' || c == '-' || c == ':' || c == '.';

    return c >= 160 && juce::CharacterFunctions::isLetterOrDigit (c);
}

/** The framework's XML reader (XmlDocument in juce_XmlDocument.cpp), followed step by step and in the same
    order, building nothing: whether it would yield a root element, and the root's values of the wanted
    names. The reader itself puts every element and attribute name into a string pool that is quadratic in
    their number, appends the pieces of a value to a string at quadratic cost, recurses once per level and
    loops for ever on a processing instruction inside an element that text follows; here everything is
    linear, and the reader is then handed only the root with those values. */
class ReaderWalk final
{
public:
    ReaderWalk (Text text, const juce::StringArray& wantedNames)
        : input (text), names (wantedNames), values ((size_t) wantedNames.size())
    {
    }

    std::optional<juce::String> reduce()
    {
        // The header is a processing instruction, which the first gap skips; a document type was refused.
        if (input.isEmpty())
            return {};

        skipGap();

        if (! readElement (1) || failed || trapped)
            return {};

        juce::String root ("<root");

        for (size_t i = 0; i < values.size(); ++i)
            if (values[i].has_value())
                root << " " << names[(int) i] << "=" << *values[i];

        return root + "/>";
    }

private:
    /** skipNextWhiteSpace: blanks, comments and processing instructions. */
    void skipGap()
    {
        for (;;)
        {
            input.incrementToEndOfWhitespace();

            if (input.isEmpty())
            {
                outOfData = true;
                return;
            }

            const char* end = nullptr;

            if (*input == '<' && input[1] == '!' && input[2] == '-' && input[3] == '-')
                end = "-->";
            else if (*input == '<' && input[1] == '?')
                end = "?>";
            else
                return;

            input += end[0] == '-' ? 4 : 2;

            if (! skipPast (input, end))
            {
                outOfData = true;
                return;
            }
        }
    }

    juce::juce_wchar readNextChar()
    {
        const auto c = input.getAndAdvance();

        if (c == 0)
        {
            outOfData = true;
            --input;
        }

        return c;
    }

    /** readEntity, for the complete references that escapeBareAmpersands leaves: how many characters it
        adds. One of the five named ones is a character; a numeric one, the character of its number. */
    int readReference()
    {
        ++input;

        if (*input != '#')
        {
            while (*input != ';')
                ++input;

            ++input;
            return 1;
        }

        ++input;
        const auto hex = *input == 'x' || *input == 'X';

        if (hex)
            ++input;

        juce::int64 code = 0;

        for (; *input != ';'; ++input)
            code = hex ? (code << 4) | juce::CharacterFunctions::getHexDigitValue (*input) : code * 10 + (*input - '0');

        ++input;
        // The character the reader appends; a null one adds nothing.
        return (juce::juce_wchar) code != 0 ? 1 : 0;
    }

    /** readQuotedString: the value as written (its quotes and references kept), or nothing when the text
        ends inside it, which the reader takes as a malformed file unless the value is still empty. */
    std::optional<juce::String> readQuoted (int& length)
    {
        const auto quote = readNextChar();
        const auto start = input;
        length = 0;

        while (! outOfData)
        {
            const auto c = readNextChar();

            if (c != quote)
            {
                --input;

                if (c == '&')
                {
                    length += readReference();
                    continue;
                }

                while (*input != quote && *input != '&' && *input != 0)
                {
                    ++input;
                    ++length;
                }

                if (*input == '&')
                    continue;

                if (*input == 0)
                {
                    failed = true;
                    outOfData = true;
                    return {};
                }

                ++input;
            }

            const auto end = input - 1;
            const auto quoteText = juce::String::charToString (quote);
            return quoteText + (end.getAddress() > start.getAddress() ? juce::String (start, end) : juce::String()) + quoteText;
        }

        return juce::String::charToString (quote) + juce::String::charToString (quote);
    }

    /** readNextElement: false when it reads no element. */
    bool readElement (int depth)
    {
        skipGap();

        if (outOfData || *input != '<')
            return false;

        ++input;

        if (! isNameChar (*input))
        {
            skipGap();

            if (! isNameChar (*input))
            {
                failed = true;
                return false;
            }
        }

        if (depth > maxSettingsNesting)
        {
            trapped = true;
            return false;
        }

        while (isNameChar (*input))
            ++input;

        for (;;)
        {
            skipGap();
            const auto c = *input;

            if (c == '/' && input[1] == '>')
            {
                input += 2;
                return true;
            }

            if (c == '>')
            {
                ++input;
                readChildren (depth);
                return true;
            }

            if (! isNameChar (c))
            {
                failed = failed || ! outOfData;
                return true;
            }

            const auto nameStart = input;

            while (isNameChar (*input))
                ++input;

            const auto index = indexOfName (nameStart, input);
            skipGap();

            if (readNextChar() != '=')
            {
                failed = true;
                return true;
            }

            skipGap();

            if (*input != '"' && *input != '\'')
                return true;

            int length = 0;
            const auto value = readQuoted (length);

            if (failed)
                return true;

            if (depth == 1 && index < values.size() && ! values[index].has_value())
                values[index] = length <= maxSettingsValueLength ? *value : juce::String ("\"\"");
        }
    }

    /** readChildElements. */
    void readChildren (int depth)
    {
        while (! failed && ! trapped)
        {
            const auto before = input;
            skipGap();

            if (outOfData)
            {
                failed = true;
                return;
            }

            if (*input == '<' && input[1] == '/')
            {
                skipPast (input, ">");
                return;
            }

            if (*input == '<' && input[1] == '!' && startsWith (input + 2, "[CDATA["))
            {
                input += 9;

                if (! skipPast (input, "]]>"))
                {
                    failed = true;
                    outOfData = true;
                }
            }
            else if (*input == '<')
            {
                if (! readElement (depth + 1))
                    return;
            }
            else
            {
                input = before;
                readText();

                // Nothing read: the next round would start where this one did, for ever.
                trapped = trapped || input == before;
            }
        }
    }

    /** A run of text, with the comments and references in it. */
    void readText()
    {
        for (;;)
        {
            const auto c = *input;

            if (c == '<' && input[1] == '!' && input[2] == '-' && input[3] == '-')
            {
                input += 4;

                if (skipPast (input, "-->"))
                    continue;
            }
            else if (c == '<')
            {
                return;
            }
            else if (c == '&')
            {
                readReference();
                continue;
            }
            else if (c != 0)
            {
                ++input;
                continue;
            }

            failed = true;
            outOfData = true;
            return;
        }
    }

    /** Which of the wanted names runs from start to end, exactly; values.size() for none. */
    size_t indexOfName (Text start, Text end) const
    {
        const auto length = (size_t) (end.getAddress() - start.getAddress());

        for (size_t i = 0; i < values.size(); ++i)
            if (names[(int) i].getNumBytesAsUTF8() == length && std::memcmp (names[(int) i].toRawUTF8(), start.getAddress(), length) == 0)
                return i;

        return values.size();
    }

    Text input;
    const juce::StringArray& names;
    std::vector<std::optional<juce::String>> values;
    bool outOfData = false, failed = false, trapped = false;
};

} // namespace

std::optional<juce::String> reduceToRootValues (const juce::String& text, const juce::StringArray& names)
{
    return ReaderWalk (text.getCharPointer(), names).reduce();
}

} // namespace ov
