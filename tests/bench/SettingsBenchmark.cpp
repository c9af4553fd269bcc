// Times the settings step on hostile files of at most 1 MiB against the file the installer writes itself:
// the read step alone (with its peak memory) and a cold start up to the first paint (the panel built, which
// reads the file, and painted once into an image), each in a fresh process. A program, not a test: figures
// vary by machine.
//   ov_settings_benchmark [seconds [runs]]          every case, medians of runs (default 5); a child still
//                                                   running after that many seconds (default 120) is
//                                                   stopped and reported as such
//   ov_settings_benchmark --list                    the cases' names, a tab, what each holds
//   ov_settings_benchmark --make-case NAME PREFIX   lays one case out in a Wine prefix, for a real start
//                                                   (tests/bench/first_paint.py)

#include "product/SettingsFile.h"
#include "support/SettingsShapes.h"
#include "ui/MainComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <functional>
#include <vector>

namespace
{
    using ov::test::filled;
    using ov::test::fallingName;

    constexpr size_t bigFolderEntries = 200000;
    constexpr int linksInBigFolder = 650;

    juce::String settingsWith (const juce::String& attributes)
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<Plugin_Manager_Settings " + attributes + "/>\r\n";
    }

    std::string linkName (int i)
    {
        return juce::String::formatted ("L%04d", i).toStdString();
    }

    struct Case
    {
        const char* name;
        const char* what;
        std::function<std::string()> text;
        bool bigFolder = false;
    };

    const std::vector<Case>& cases()
    {
        static const std::vector<Case> all {
            { "normal", "the file the installer writes", []
              {
                  return settingsWith (juce::String ("Important_Note:=\"") + ov::SettingsFile::importantNote
                                       + "\" CLAP_Path=\"C:\\Program Files\\Common Files\\CLAP\" VST3_Path=\"C:\\Program Files\\Common Files\\VST3\""
                                         " AAX_Path=\"C:\\Program Files\\Common Files\\Avid\\Audio\\Plug-Ins\"").toStdString();
              } },
            { "value-256k", "one value C:\\a\\a\\a... of 256 KiB", []
              { return filled ("<r VST3_Path=\"C:", [] (size_t) { return "\\a"; }, "\"/>", 256 * 1024); } },
            { "value-1m", "one value C:\\a\\a\\a... of 1 MiB", []
              { return filled ("<r VST3_Path=\"C:", [] (size_t) { return "\\a"; }, "\"/>"); } },
            { "dots-1m", "one value C:\\a\\..\\a\\..\\... of 1 MiB", []
              { return filled ("<r VST3_Path=\"C:", [] (size_t) { return "\\a\\.."; }, "\\VST3\"/>"); } },
            { "windows-1252", "bytes 0x80 (the Windows-1252 fallback)", []
              { return std::string (ov::SettingsFile::maxFileSize, '\x80'); } },
            { "attributes", "131,000 attributes with different names", []
              { return filled ("<r", [] (size_t i) { return i < 131000 ? " " + fallingName (i) + "=\"\"" : ""; }, "/>"); } },
            { "ampersands", "a& repeated in a value", []
              { return filled ("<r VST3_Path=\"", [] (size_t) { return "a&"; }, "\"/>"); } },
            { "references", "&#65; repeated in a value", []
              { return filled ("<r VST3_Path=\"", [] (size_t) { return "&#65;"; }, "\"/>"); } },
            { "text", "a& repeated in text", []
              { return filled ("<r>", [] (size_t) { return "a&"; }, "</r>"); } },
            { "tags", "elements with different names", []
              { return filled ("<r>", [] (size_t i) { return "<" + fallingName (i) + "/>"; }, "</r>"); } },
            { "elements", "empty elements", []
              { return filled ("<r>", [] (size_t) { return "<e/>"; }, "</r>"); } },
            { "folder", "a folder of 200,000 entries named in a path", []
              { return settingsWith ("VST3_Path=\"D:\\big\\VST3\"").toStdString(); }, true },
            { "self-link", "... with a link back to itself repeated in the path", []
              { return filled ("<r VST3_Path=\"D:\\big", [] (size_t) { return "\\SELF"; }, "\\VST3\"/>", 4096); }, true },
            { "many-links", "... through 650 links back to it, each named once", []
              {
                  return filled ("<r VST3_Path=\"D:\\big", [] (size_t i)
                                 { return i < linksInBigFolder ? "\\" + juce::String (linkName ((int) i)).toLowerCase().toStdString() : ""; },
                                 "\\VST3\"/>", 4096);
              }, true },
        };

        return all;
    }

    const Case* findCase (const juce::String& name)
    {
        for (const auto& c : cases())
            if (name == c.name)
                return &c;

        return nullptr;
    }

    /** The folder of many entries, with links back to itself ("self" and the numbered ones). */
    void makeBigFolder (const juce::File& data)
    {
        const auto big = data.getChildFile ("big");

        if (big.getChildFile ("self").isSymbolicLink())
            return;

        big.createDirectory();

        for (size_t i = 0; i < bigFolderEntries; ++i)
            close (open (big.getChildFile (juce::String::formatted ("entry%06d", (int) i)).getFullPathName().toRawUTF8(),
                         O_CREAT | O_WRONLY, 0644));

        for (int i = 0; i < linksInBigFolder; ++i)
            symlink (".", big.getChildFile (linkName (i)).getFullPathName().toRawUTF8());

        symlink (".", big.getChildFile ("self").getFullPathName().toRawUTF8());
    }

    /** A prefix with drives C: and D:, as Wine links them, and the case's settings file. */
    void layOut (const Case& c, const juce::File& prefix, const juce::File& data)
    {
        const auto settings = prefix.getChildFile ("drive_c/ProgramData/Orvella/PluginManagerSettings.txt");
        settings.getParentDirectory().createDirectory();
        data.createDirectory();
        prefix.getChildFile ("dosdevices").createDirectory();
        symlink ("../drive_c", prefix.getChildFile ("dosdevices/c:").getFullPathName().toRawUTF8());
        symlink (data.getFullPathName().toRawUTF8(), prefix.getChildFile ("dosdevices/d:").getFullPathName().toRawUTF8());

        if (c.bigFolder)
            makeBigFolder (data);

        const auto text = c.text();
        settings.replaceWithData (text.data(), text.size());
    }

    juce::int64 statusKiB (const char* field)
    {
        for (const auto& line : juce::StringArray::fromLines (juce::File ("/proc/self/status").loadFileAsString()))
            if (line.startsWith (field))
                return line.fromFirstOccurrenceOf (":", false, false).trim().getLargeIntValue();

        return -1;
    }

    double millisecondsSince (juce::int64 start)
    {
        return juce::Time::highResolutionTicksToSeconds (juce::Time::getHighResolutionTicks() - start) * 1000.0;
    }

    /** The child's part: the read step alone; prints its time in ms and its peak extra memory in KiB. */
    int measureRead (const juce::File& prefix)
    {
        const ov::SystemHost host (ov::WinePrefix (prefix, "bench"));
        auto folders = ov::SettingsFile::makeDefaultFolders (host.getCommonFilesBase());
        const auto before = statusKiB ("VmRSS:");
        const auto start = juce::Time::getHighResolutionTicks();
        ov::SettingsFile::loadOrCreate (host.getCommonAppDataFolder().getChildFile ("Orvella"), folders, host);
        const auto ms = millisecondsSince (start);
        std::printf ("%.2f %lld\n", ms, (long long) (statusKiB ("VmHWM:") - before));
        return 0;
    }

    /** The child's part: a cold start up to the first paint; prints the moment of that paint on the
        system's monotonic clock, in ms, so that the parent counts from before it started the process. */
    int measureStart (const juce::File& prefix)
    {
        // Painted into an image only: no display is needed, and none may be taken.
        setenv ("DISPLAY", ":65535", 1);
        const juce::ScopedJuceInitialiser_GUI gui;
        MainComponent panel (std::make_shared<ov::SystemHost> (ov::WinePrefix (prefix, "bench")));
        panel.setSize (600, 600);
        juce::Image image (juce::Image::RGB, 600, 600, true, juce::SoftwareImageType());
        juce::Graphics g (image);
        panel.paintEntireComponent (g, true);
        std::printf ("%.2f\n", juce::Time::getMillisecondCounterHiRes());
        return 0;
    }

    /** Runs this program on one case in a fresh prefix; its output, or nothing when it ran out of time. */
    juce::StringArray runChild (const char* mode, const Case& c, const juce::File& root, const juce::File& data, int seconds)
    {
        const auto prefix = root.getChildFile (juce::String ("wine-") + c.name + mode);
        layOut (c, prefix, data);

        juce::ChildProcess child;
        const auto started = juce::Time::getMillisecondCounterHiRes();
        child.start (juce::StringArray { juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFullPathName(),
                                         mode, prefix.getFullPathName() });
        juce::StringArray result;

        if (child.waitForProcessToFinish (seconds * 1000))
            result.addTokens (child.readAllProcessOutput(), " \n", {});
        else
            child.kill();

        // A start reports the moment of its paint: the time from before the process was started.
        if (juce::String (mode) == "--start" && result.size() > 0)
            result.set (0, juce::String (result[0].getDoubleValue() - started, 2));

        prefix.deleteRecursively();
        data.getChildFile ("big/VST3").deleteRecursively();
        return result;
    }

    /** The median of several runs' first figure and the largest of their second; nothing when a run ran out of time. */
    std::optional<std::pair<double, double>> medianOf (const std::vector<juce::StringArray>& runs)
    {
        std::vector<double> firsts;
        double largestSecond = 0.0;

        for (const auto& run : runs)
        {
            if (run.isEmpty())
                return {};

            firsts.push_back (run[0].getDoubleValue());
            largestSecond = juce::jmax (largestSecond, run[1].getDoubleValue());
        }

        std::sort (firsts.begin(), firsts.end());
        return std::make_pair (firsts[firsts.size() / 2], largestSecond);
    }
}

int main (int argc, char** argv)
{
    if (argc == 3 && juce::String (argv[1]) == "--read")
        return measureRead (juce::File (argv[2]));

    if (argc == 3 && juce::String (argv[1]) == "--start")
        return measureStart (juce::File (argv[2]));

    if (argc == 2 && juce::String (argv[1]) == "--list")
    {
        for (const auto& c : cases())
            std::printf ("%s\t%s\n", c.name, c.what);

        return 0;
    }

    if (argc == 4 && juce::String (argv[1]) == "--make-case")
    {
        const auto* c = findCase (argv[2]);

        if (c == nullptr)
            return 2;

        layOut (*c, juce::File (argv[3]), juce::File (argv[3]).getChildFile ("data"));
        return 0;
    }

    const auto seconds = argc >= 2 ? juce::jmax (1, juce::String (argv[1]).getIntValue()) : 120;
    const auto runs = argc >= 3 ? juce::jmax (1, juce::String (argv[2]).getIntValue()) : 5;
    const auto root = juce::File::createTempFile ("ov_settings_bench");
    root.createDirectory();
    const auto data = root.getChildFile ("data");

    std::printf ("medians of %d runs; start: from launching the process to its first paint into an image\n", runs);
    std::printf ("%-13s %-52s %9s %9s %11s %9s %8s\n", "case", "", "bytes", "read ms", "read peak", "start ms", "/normal");
    double normalStart = 0.0;
    auto allMet = true;

    for (const auto& c : cases())
    {
        std::vector<juce::StringArray> reads, starts;

        for (int run = 0; run < runs; ++run)
        {
            reads.push_back (runChild ("--read", c, root, data, seconds));
            starts.push_back (runChild ("--start", c, root, data, seconds));
        }

        const auto read = medianOf (reads);
        const auto start = medianOf (starts);

        if (std::string (c.name) == "normal" && start.has_value())
            normalStart = start->first;

        const auto peakMiB = read.has_value() ? read->second / 1024.0 : -1.0;
        const auto met = start.has_value() && start->first <= 2.0 * normalStart && read.has_value() && peakMiB <= 64.0;
        allMet = allMet && met;
        const auto late = juce::String::formatted ("> %d s", seconds);

        std::printf ("%-13s %-52s %9zu %9s %11s %9s %8s%s\n", c.name, c.what, c.text().size(),
                     read.has_value() ? juce::String (read->first, 1).toRawUTF8() : late.toRawUTF8(),
                     read.has_value() ? (juce::String (peakMiB, 1) + " MiB").toRawUTF8() : "-",
                     start.has_value() ? juce::String (start->first, 0).toRawUTF8() : late.toRawUTF8(),
                     start.has_value() && normalStart > 0.0 ? juce::String (start->first / normalStart, 2).toRawUTF8() : "-",
                     met ? "" : "  (goal missed)");
    }

    std::printf ("goal (every start within twice the normal one, read step at most 64 MiB): %s\n", allMet ? "met" : "MISSED");
    root.deleteRecursively();
    return allMet ? 0 : 1;
}
