// Times the engine's install of one format against unzip on the same archive, measures its peak extra
// memory, and the bytes and time of one probe of a format. A program, not a test: figures vary by machine.

#include "host/FlushToDisk.h"
#include "host/PeVersionReader.h"
#include "install/BundleInstaller.h"
#include "install/FormatProbe.h"
#include "support/Sandbox.h"
#include "tests/install/ZipMaker.h"
#include "ui/MainComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <cstdio>
#include <sys/wait.h>
#include <vector>

namespace
{
    constexpr size_t moduleSize = 17098720;
    constexpr int runs = 9;

    /** A module like the product's: real headers with a version resource, then stretches that deflate
        the way code (about half), data (hardly at all) and tables (almost wholly) do. */
    std::string makeModule (const juce::File& peFile, size_t size)
    {
        juce::MemoryBlock pe;
        peFile.loadFileAsData (pe);
        std::string bytes (static_cast<const char*> (pe.getData()), pe.getSize());
        juce::Random random (42);
        const char code[] = "\x00\x00\x00\x48\x8b\x89\x45\x0f\xff\xe8";

        while (bytes.size() < size)
        {
            const auto kind = random.nextInt (100);

            for (int i = 0; i < 4096; ++i)
                bytes.push_back (kind < 33 ? (char) random.nextInt (256)
                               : kind < 75 ? code[random.nextInt (10)]
                                           : (char) (i % 64 == 0 ? random.nextInt (256) : 0));
        }

        bytes.resize (size);
        return bytes;
    }

    double median (std::vector<double> values)
    {
        std::sort (values.begin(), values.end());
        return values[values.size() / 2];
    }

    double secondsOf (const std::function<void()>& work)
    {
        const auto start = juce::Time::getHighResolutionTicks();
        work();
        return juce::Time::highResolutionTicksToSeconds (juce::Time::getHighResolutionTicks() - start);
    }

    juce::int64 readStatusField (const char* file, const char* field)
    {
        for (const auto& line : juce::StringArray::fromLines (juce::File (file).loadFileAsString()))
            if (line.startsWith (field))
                return line.fromFirstOccurrenceOf (":", false, false).trim().getLargeIntValue();

        return -1;
    }

    /** Counts what the version reader asks of a module. */
    struct CountingSource final : ov::PeByteSource
    {
        explicit CountingSource (const juce::MemoryBlock& block) : inner (block.getData(), block.getSize()) {}

        bool read (uint64_t offset, void* dest, size_t size) override
        {
            bytesRead += size;
            return inner.read (offset, dest, size);
        }

        uint64_t size() const override   { return inner.size(); }

        ov::PeMemorySource inner;
        uint64_t bytesRead = 0;
    };
}

/** The engine's install of the VST3 bundle, read back as the panel does. */
ov::FormatOutcome installVst3 (const juce::File& bundle, const juce::MemoryBlock& archive, const ov::Host& host)
{
    return ov::installBundle ({ bundle, bundle.getChildFile ("Contents/x86_64-win/Tavrin3.vst3") },
                              archive.getData(), archive.getSize(), "3.1.10", host);
}

/** The child's part: the archive resident as the embedded one would be, then one install; prints how
    far the resident size rose above where it stood before, in KiB. */
int measurePeakMemory (const juce::File& archiveFile, const juce::File& folder)
{
    juce::MemoryBlock archive;
    archiveFile.loadFileAsData (archive);
    const auto bundle = folder.getChildFile ("Tavrin3.vst3");
    const ov::SystemHost systemHost;

    const auto before = readStatusField ("/proc/self/status", "VmRSS:");
    const auto outcome = installVst3 (bundle, archive, systemHost);
    const auto peak = readStatusField ("/proc/self/status", "VmHWM:");

    std::printf ("%lld\n", outcome.succeeded ? (long long) (peak - before) : -1LL);
    return 0;
}

int main (int argc, char** argv)
{
    if (argc == 4 && juce::String (argv[1]) == "--peak-memory")
        return measurePeakMemory (juce::File (argv[2]), juce::File (argv[3]));

    const juce::ScopedJuceInitialiser_GUI gui;
    const auto fixture = juce::File (OV_PE_FIXTURE);
    ov::test::Sandbox sandbox;

    //==========================================================================
    ov::test::ZipMaker zip;
    zip.folder ("Tavrin3.vst3\\Contents\\")
       .file ("Tavrin3.vst3\\desktop.ini", "[.ShellClassInfo]\r\nIconResource=Plugin.ico,0\r\nIconFile=Plugin.ico\r\nIconIndex=0\r\n")
       .file ("Tavrin3.vst3\\Plugin.ico", makeModule (fixture, 20367).substr (0, 20367))
       .file ("Tavrin3.vst3\\Contents\\Resources\\moduleinfo.json", std::string (1165, ' '))
       .file ("Tavrin3.vst3\\Contents\\x86_64-win\\Tavrin3.vst3", makeModule (fixture, moduleSize));
    const auto archive = zip.build();
    const auto archiveFile = sandbox.getRoot().getChildFile ("vst3.zip");
    archiveFile.replaceWithData (archive.getData(), archive.getSize());

    std::printf ("archive: %zu bytes, module %zu bytes\n", archive.getSize(), moduleSize);

    //==========================================================================
    const auto folder = sandbox.getCommonFiles().getChildFile ("VST3");
    const auto bundle = folder.getChildFile ("Tavrin3.vst3");
    const auto unzipFolder = sandbox.getRoot().getChildFile ("unzip");
    const ov::SystemHost systemHost;
    const auto probeFile = bundle.getChildFile ("Contents/x86_64-win/Tavrin3.vst3");

    const auto installOnce = [&] { return installVst3 (bundle, archive, systemHost); };

    std::vector<double> fresh, update, unzip;

    for (int run = 0; run < runs; ++run)
    {
        folder.deleteRecursively();
        unzipFolder.deleteRecursively();
        unzipFolder.createDirectory();

        fresh.push_back (secondsOf ([&] { if (! installOnce().succeeded) std::printf ("install failed\n"); }));
        update.push_back (secondsOf ([&] { installOnce(); }));
        unzip.push_back (secondsOf ([&]
        {
            const auto command = "unzip -o -q '" + archiveFile.getFullPathName() + "' -d '" + unzipFolder.getFullPathName() + "' 2>/dev/null";
            // 1 is unzip's "warnings only": it notes the "\\" separators and turns them into "/".
            if (const auto status = std::system (command.toRawUTF8()); ! WIFEXITED (status) || WEXITSTATUS (status) > 1)
                std::printf ("unzip failed\n");
        }));
    }

    // What waiting for the disk costs within an install: the bundle freshly unpacked, then flushed.
    std::vector<double> flush;
    const auto flushFolder = sandbox.getRoot().getChildFile ("flush");

    for (int run = 0; run < runs; ++run)
    {
        flushFolder.deleteRecursively();
        flushFolder.createDirectory();
        ov::unpackArchive (archive, flushFolder);
        flush.push_back (secondsOf ([&] { ov::flushTreeToDisk (flushFolder); ov::flushToDisk (flushFolder.getParentDirectory()); }));
    }

    std::printf ("install into an empty folder: median %.1f ms\n", median (fresh) * 1000.0);
    std::printf ("install over the same bundle: median %.1f ms\n", median (update) * 1000.0);
    std::printf ("unzip -o -q into a fresh folder: median %.1f ms\n", median (unzip) * 1000.0);
    std::printf ("ratio install / unzip: %.2f (update / unzip: %.2f)\n", median (fresh) / median (unzip), median (update) / median (unzip));
    std::printf ("of an install, flushing the new bundle and its folder to the disk: median %.1f ms\n", median (flush) * 1000.0);

    //==========================================================================
    // In a fresh process, so that no memory freed by the runs above is there to be reused.
    juce::ChildProcess child;
    child.start (juce::StringArray { juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFullPathName(),
                                     "--peak-memory", archiveFile.getFullPathName(),
                                     sandbox.getRoot().getChildFile ("memory").getFullPathName() });
    const auto extraKiB = child.readAllProcessOutput().getLargeIntValue();
    std::printf ("peak extra memory during the install: %.2f MiB for a %.2f MiB archive (goal: at most %.2f MiB)\n",
                 (double) extraKiB / 1024.0, (double) archive.getSize() / 1048576.0,
                 (double) archive.getSize() / 1048576.0 + 8.0);

    //==========================================================================
    auto host = std::make_shared<ov::test::SandboxHost> (sandbox);

    for (const auto size : { (size_t) 20 * 1024, moduleSize })
    {
        folder.deleteRecursively();
        const auto module = makeModule (fixture, size);
        probeFile.getParentDirectory().createDirectory();
        probeFile.replaceWithData (module.data(), module.size());

        MainComponent panel (host);
        constexpr int calls = 2000;
        const auto ioBefore = readStatusField ("/proc/self/io", "rchar:");
        juce::String text;
        const auto seconds = secondsOf ([&] { for (int i = 0; i < calls; ++i) text = panel.probeFormatStatus (0).statusText; });
        const auto ioAfter = readStatusField ("/proc/self/io", "rchar:");

        juce::MemoryBlock block (module.data(), module.size());
        CountingSource counter (block);
        ov::readPeFileVersion (counter);

        std::printf ("probe of a %zu-byte module: \"%s\", %.1f us per call, %lld bytes read from the file per call"
                     " (%llu bytes asked by the version reader)\n",
                     size, text.toRawUTF8(), seconds * 1.0e6 / calls, (long long) ((ioAfter - ioBefore) / calls),
                     (unsigned long long) counter.bytesRead);
    }

    return 0;
}
