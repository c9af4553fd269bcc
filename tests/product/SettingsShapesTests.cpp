// Settings files shaped to make the read step slow or to lead it astray, and the walk that hands the
// framework's XML reader only the root's three values, checked against that reader itself.

#include "product/SettingsText.h"
#include "support/SettingsShapes.h"
#include "tests/product/WineSettingsTest.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

namespace
{

using ov::test::WineSettingsTest;

const char* const keys[] = { "VST3_Path", "CLAP_Path", "AAX_Path" };

double cpuSeconds()
{
    rusage usage {};
    getrusage (RUSAGE_SELF, &usage);
    return (double) usage.ru_utime.tv_sec + (double) usage.ru_stime.tv_sec
         + ((double) usage.ru_utime.tv_usec + (double) usage.ru_stime.tv_usec) / 1.0e6;
}

TEST_F (WineSettingsTest, ValuesTooLongOrWithNamesWindowsCannotHoldKeepTheDefaultAndMakeNothing)
{
    const auto driveC = prefixFolder.getChildFile ("drive_c");
    const auto folded = "C:" + juce::String::repeatedString ("\\a\\..", 817) + "\\.\\.\\VST3";
    ASSERT_EQ (folded.length(), 4096);

    // Within the limit, the dots fold away; a value longer than any folder path is not even looked at.
    writeSettings ("VST3_Path=\"" + folded + "\"");
    EXPECT_EQ (load()[0], driveC.getChildFile ("VST3"));
    driveC.getChildFile ("VST3").deleteRecursively();

    const juce::StringArray unusable { "C:\\." + folded.substring (2), "C:\\VST3&lt;", "C:\\a&gt;b\\VST3", "C:\\a:b", "C:\\&quot;VST3&quot;",
                                       "C:\\a|b", "C:\\VST3?", "C:\\VST*", "C:\\VST3&#9;", "C:\\a&#1;\\VST3" };

    for (const auto& value : unusable)
    {
        writeSettings ("VST3_Path=\"" + value + "\"");
        EXPECT_EQ (load(), defaults) << value.substring (0, 40);
        EXPECT_EQ (driveC.findChildFiles (juce::File::findFilesAndDirectories, false).size(), 1) << value.substring (0, 40);
    }
}

TEST (SettingsText, TheReaderIsGivenTheRootAloneWithTheSettingsValues)
{
    juce::String text ("<?xml version=\"1.0\"?>\n<!-- a comment --><Plugin_Manager_Settings Important_Note:=\"note\" ");

    for (int i = 0; i < 2000; ++i)
        text << "n" << i << "=\"&amp;x\" ";

    text << "VST3_Path=\"C:\\R&amp;D\\&#86;ST3\" CLAP_Path='C:\\\"CLAP\"' VST3_Path=\"C:\\second\">";

    for (int i = 0; i < 2000; ++i)
        text << "<e" << i << " AAX_Path=\"C:\\child\">a &lt; b<![CDATA[<x>]]></e" << i << ">";

    text << "</Plugin_Manager_Settings>";
    const auto prepared = ov::prepareSettingsText (text);
    ASSERT_TRUE (prepared.has_value());
    EXPECT_LT (prepared->length(), 200) << prepared->substring (0, 200);

    const auto root = juce::XmlDocument::parse (*prepared);
    ASSERT_NE (root, nullptr);
    EXPECT_EQ (root->getStringAttribute ("VST3_Path"), "C:\\R&D\\VST3");
    EXPECT_EQ (root->getStringAttribute ("CLAP_Path"), "C:\\\"CLAP\"");
    EXPECT_FALSE (root->hasAttribute ("AAX_Path"));

    // A value longer than any folder path is left empty, however many references it is made of.
    const auto longValue = ov::prepareSettingsText ("<r VST3_Path=\"" + juce::String::repeatedString ("a&amp;", 3000) + "\"/>");
    ASSERT_TRUE (longValue.has_value());
    EXPECT_LT (longValue->length(), 100);
}

/** Small documents of tokens that the framework's reader treats each in its own way: whatever the walk makes
    of one, the reader gives the same root and values as from the document itself. */
TEST (SettingsText, TheWalkReadsAsTheFrameworksReaderDoes)
{
    const char* const tokens[] = { "<r", "<a", " ", "\t", "\r\n", "VST3_Path", "CLAP_Path", "x", "=", "\"", "'", "C:\\a", "&amp;",
                                   "&#65;", "&#0;", "&lt;", ">", "/>", "/", "</a>", "</r>", "<!--", "-->", "<![CDATA[", "]]>", "<",
                                   "text", "\xc3\xa9", ":", "<a/>", " a=\"b\"", " VST3_Path=\"C:\\R&amp;D\"", " AAX_Path='&#x42;'",
                                   " CLAP_Path=\"", " AAX_Path = '", "vst3_path=\"v\"" };
    juce::Random random (15);
    int roots = 0, values = 0;

    for (int round = 0; round < 100000; ++round)
    {
        juce::String text (random.nextInt (4) == 0 ? "<?xml version=\"1.0\"?>" : "");
        text << (random.nextInt (4) != 0 ? "<r" : "");

        for (int count = random.nextInt (12); --count >= 0;)
            text << juce::String::fromUTF8 (tokens[random.nextInt ((int) std::size (tokens))]);

        // A processing instruction past the header can send the reader round for ever.
        if (text.lastIndexOf ("<?") > 0)
            continue;

        const auto expected = juce::XmlDocument::parse (text);
        const auto prepared = ov::prepareSettingsText (text);
        const auto actual = prepared.has_value() ? juce::XmlDocument::parse (*prepared) : nullptr;
        ASSERT_EQ (expected != nullptr, actual != nullptr) << text;

        if (expected == nullptr)
            continue;

        ++roots;

        for (const auto* key : keys)
        {
            ASSERT_EQ (expected->getStringAttribute (key), actual->getStringAttribute (key)) << key << " in " << text;
            values += expected->getStringAttribute (key).isNotEmpty() ? 1 : 0;
        }
    }

    // The documents reach the values often enough to tell.
    EXPECT_GT (roots, 10000);
    EXPECT_GT (values, 1000);
}

/** Each shape used to stall the start for seconds to minutes (the framework's quadratic steps, one character
    at a time decoding, every path component resolved); a bound far above today's cost catches a return. */
TEST_F (WineSettingsTest, AMegabyteOfAnyShapeIsReadWithoutStalling)
{
    using ov::test::filled;
    using ov::test::fallingName;
    const std::pair<const char*, std::string> shapes[] = {
        { "a long value", filled ("<r VST3_Path=\"C:", [] (size_t) { return "\\a"; }, "\"/>") },
        { "Windows-1252", std::string (ov::SettingsFile::maxFileSize, '\x80') },
        { "many names", filled ("<r", [] (size_t i) { return " " + fallingName (i) + "=''"; }, "/>") },
        { "many references", filled ("<r VST3_Path=\"", [] (size_t) { return "a&"; }, "\"/>") },
        { "many tags", filled ("<r>", [] (size_t i) { return "<" + fallingName (i) + "/>"; }, "</r>") },
    };

    for (const auto& [shape, bytes] : shapes)
    {
        writeFile (bytes);
        const auto before = cpuSeconds();
        EXPECT_EQ (load(), defaults) << shape;
        EXPECT_LT (cpuSeconds() - before, 2.0) << shape;
    }
}

} // namespace
