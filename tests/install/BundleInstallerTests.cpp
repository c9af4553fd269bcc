#include "host/RemoveTree.h"
#include "host/RenameNoReplace.h"
#include "tests/install/BundleInstallFixture.h"

#if ! JUCE_WINDOWS
 #include "support/ChildRun.h"
#endif

#include <gtest/gtest.h>

#include <cstdio>

#if ! JUCE_WINDOWS
 #include "support/ChildRun.h"

 #include <linux/capability.h>
 #include <sys/resource.h>
 #include <sys/socket.h>
 #include <sys/stat.h>
 #include <sys/syscall.h>
 #include <sys/sysmacros.h>
 #include <sys/un.h>
 #include <sys/wait.h>
#endif

namespace reasons = ov::failureReasons;
using ov::test::BundleInstall;
using ov::test::snapshot;
using ov::test::Tree;
using ov::test::write;
using ov::test::ZipMaker;

//==============================================================================
TEST_F (BundleInstall, InstallsExactlyWhatTheArchiveHoldsReplacingTheOldBundleWhole)
{
    const auto outcome = install (newVst3);
    EXPECT_TRUE (outcome.processed);
    EXPECT_TRUE (outcome.succeeded) << outcome.reason;
    EXPECT_EQ (snapshot (folder), ov::test::expectedTree (newVst3));

    // Over an older bundle, whose neighbours stay.
    placeOldBundle();
    EXPECT_TRUE (install (newVst3).succeeded);
    EXPECT_EQ (snapshot (folder), installedTree (newVst3));

    placeOldClapBundle();
    auto clap = ZipMaker().file ("Tavrin3.clap", ov::test::makeModule ("", 70000, 3));
    EXPECT_TRUE (install (clap).succeeded);
    EXPECT_EQ (snapshot (bundle.getParentDirectory()), ov::test::expectedTree (clap));
}

TEST_F (BundleInstall, UninstallRemovesOnlyTheBundleAndThenNothing)
{
    auto expected = placeOldBundle();

    for (auto it = expected.begin(); it != expected.end();)
        it = it->first.startsWith ("Tavrin3.vst3/") ? expected.erase (it) : std::next (it);

    EXPECT_TRUE (ov::uninstallBundle (bundle).succeeded);
    EXPECT_EQ (snapshot (folder), expected);

    const auto rootBefore = snapshot (sandbox.getRoot());
    EXPECT_TRUE (ov::uninstallBundle (bundle).succeeded);
    EXPECT_EQ (snapshot (sandbox.getRoot()), rootBefore);
}

TEST_F (BundleInstall, ABundleThatIsALinkIsReplacedOrRemovedAsALink)
{
    const auto target = sandbox.getRoot().getChildFile ("Elsewhere/Tavrin3.vst3");
    target.getChildFile ("Contents/x86_64-win/Tavrin3.vst3").create();
    folder.createDirectory();

    if (! target.createSymbolicLink (bundle, false))
        OV_SKIP_WITHOUT_LINKS_OR_FAIL();

    const auto targetBefore = snapshot (target.getParentDirectory());

    EXPECT_TRUE (install (newVst3).succeeded);
    EXPECT_FALSE (bundle.isSymbolicLink());
    EXPECT_EQ (snapshot (folder), ov::test::expectedTree (newVst3));
    EXPECT_EQ (snapshot (target.getParentDirectory()), targetBefore);

    bundle.deleteRecursively();
    ASSERT_TRUE (target.createSymbolicLink (bundle, false));

    EXPECT_TRUE (ov::uninstallBundle (bundle).succeeded);
    EXPECT_FALSE (ov::pathIsTaken (bundle));
    EXPECT_EQ (snapshot (target.getParentDirectory()), targetBefore);
}

//==============================================================================
// Each fault leaves the old bundle as it was (or the new one complete), no staging, and a reason.

TEST_F (BundleInstall, DamagedArchivesHostileEntriesAndAFailedReadBackLeaveTheOldBundle)
{
    placeOldBundle();
    const auto rootBefore = snapshot (sandbox.getRoot());
    const auto good = newVst3.build();

    auto truncated = good, endRecordCut = good, badDeflateData = good;
    truncated.setSize (good.getSize() / 2);
    endRecordCut.setSize (good.getSize() - 1);

    for (size_t i = 0; i < 64; ++i)
        badDeflateData[newVst3.dataOffsets[4] + 1000 + i] ^= 0x5a;

    auto flippedCrc = newVst3.getEntries()[4];
    flippedCrc.name = "Tavrin3.vst3\\Contents\\Resources\\another.bin";
    auto longer = flippedCrc;
    flippedCrc.recordedCrc = 0x12345678;
    longer.recordedSize = (juce::uint32) longer.data.size() - 100;

    // A second directory where a reader that takes the last end signature finds it: the same entries, but the
    // folder entry "Contents\" turned into a file "Contents\x:stream" (on Windows, a stream of a file x).
    auto secondDirectory = newVst3;

    for (size_t i = 0; i < newVst3.getEntries().size(); ++i)
    {
        secondDirectory.hiddenEntries.push_back (i == 0 ? ZipMaker::Entry { "Tavrin3.vst3\\Contents\\x:stream", "" }
                                                        : newVst3.getEntries()[i]);
        secondDirectory.hiddenEntries.back().sameDataAs = i == 0 ? 1 : i;
    }

    std::vector<std::tuple<juce::String, juce::MemoryBlock, bool, const char*>> cases {
        { "truncated", truncated, true, reasons::archiveDamaged }, { "end record cut", endRecordCut, true, reasons::archiveDamaged },
        { "bad deflate data", badDeflateData, true, reasons::archiveDamaged },
        { "flipped CRC", ZipMaker (newVst3).add (flippedCrc).build(), true, reasons::archiveDamaged },
        { "longer than recorded", ZipMaker (newVst3).add (longer).build(), true, reasons::archiveDamaged },
        { "not read back", good, false, reasons::notReadBack },
        { "a second directory", secondDirectory.build(), true, reasons::archiveDamaged }
    };

    for (const auto& extra : std::initializer_list<ZipMaker::Entry> {
             { "..\\evil.txt", "evil" }, { "Tavrin3.vst3\\..\\..\\evil.txt", "evil" }, { "\\evil.txt", "evil" },
             { "/tmp/ov-evil.txt", "evil" }, { "C:\\evil.txt", "evil" }, { "C:evil.txt", "evil" },
             { "Other.vst3\\evil.txt", "evil" }, { "Tavrin3.vst3\\Contents\\link", "/etc", false, 0xa1ed0000 } })
        cases.emplace_back (extra.name, ov::test::makeVst3Archive ("3.1.10.0\n").add (extra).build(), true, reasons::archiveDamaged);

    for (const auto& [what, archive, readsBack, reason] : cases)
    {
        EXPECT_EQ (install (archive, readsBack).reason, reason) << what;
        EXPECT_EQ (snapshot (sandbox.getRoot()), rootBefore) << what;
    }

    EXPECT_FALSE (juce::File ("/tmp/ov-evil.txt").exists());
}

TEST_F (BundleInstall, AnImmutableOldBundleOrInstallFolderStaysAsItWas)
{
    placeOldBundle();
    const auto vst3 = bundle;
    const auto clap = placeOldClapBundle();
    const auto before = snapshot (sandbox.getCommonFiles());
    auto newClap = ZipMaker().file ("Tavrin3.clap", "new module");

    for (const auto& [target, immutablePath, zip, reason] : { std::tuple { vst3, vst3, &newVst3, reasons::oldBundleProtected },
                                                              std::tuple { vst3, folder, &newVst3, reasons::folderNotWritable },
                                                              std::tuple { clap, clap, &newClap, reasons::oldBundleProtected } })
    {
        const ov::test::ScopedImmutable immutable (immutablePath);

        if (! immutable.isApplied())
            GTEST_SKIP() << "no chattr +i here";

        bundle = target;
        const auto what = immutablePath.getFileName();
        EXPECT_EQ (install (*zip).reason, reason) << what;
        EXPECT_EQ (snapshot (sandbox.getCommonFiles()), before) << what;
        EXPECT_EQ (ov::uninstallBundle (bundle).reason, reasons::bundleProtected) << what;
        EXPECT_EQ (snapshot (sandbox.getCommonFiles()), before) << what;
    }
}

TEST_F (BundleInstall, SocketsPipesDevicesDotNamesAndLinksInAnOldBundleAreRemoved)
{
   #if JUCE_WINDOWS
    GTEST_SKIP() << "FIFOs, UNIX sockets and device nodes are POSIX files";
   #else
    const auto outside = sandbox.getRoot().getChildFile ("Elsewhere");
    write (outside.getChildFile ("keep.txt"), "keep");
    const auto outsideBefore = snapshot (outside);

    const auto fillOldBundle = [&]
    {
        placeOldBundle();
        const auto at = [&] (const char* name) { return bundle.getChildFile (name).getFullPathName(); };
        write (bundle.getChildFile ("..."), "dots");
        write (bundle.getChildFile ("..../inner"), "dots");
        write (bundle.getChildFile (".hidden"), "hidden");
        ASSERT_EQ (mkfifo (at ("pipe").toRawUTF8(), 0600), 0);
        ASSERT_TRUE (outside.createSymbolicLink (bundle.getChildFile ("Contents/link"), false));

        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        at ("socket").copyToUTF8 (address.sun_path, sizeof (address.sun_path));
        const auto fd = ::socket (AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ (::bind (fd, reinterpret_cast<const sockaddr*> (&address), sizeof (address)), 0);
        ::close (fd);

        // A device node needs the right to make one; the rest of the case stands without it.
        mknod (at ("null-device").toRawUTF8(), S_IFCHR | 0600, makedev (1, 3));
    };

    fillOldBundle();
    auto outcome = install (newVst3);
    EXPECT_TRUE (outcome.succeeded) << outcome.reason;
    EXPECT_TRUE (outcome.notes.isEmpty()) << outcome.notes.joinIntoString ("\n");
    EXPECT_EQ (snapshot (folder), installedTree (newVst3));
    EXPECT_EQ (ov::listFolder (folder).size(), 3);   // the bundle and the two neighbours, nothing hidden

    bundle.deleteRecursively();
    fillOldBundle();
    outcome = ov::uninstallBundle (bundle);
    EXPECT_TRUE (outcome.succeeded) << outcome.reason;
    EXPECT_TRUE (outcome.notes.isEmpty()) << outcome.notes.joinIntoString ("\n");
    EXPECT_EQ (ov::listFolder (folder).size(), 2);
    EXPECT_EQ (snapshot (outside), outsideBefore);
   #endif
}

namespace
{
    /** What goes wrong when an old bundle holds something that cannot be deleted: the install and the
        runs after it must go on, and what is left must never come back as the plug-in. */
    juce::String checkStuckLeftoverDoesNotBlock (const juce::File& bundle, ZipMaker& archive)
    {
        juce::StringArray wrong;
        const auto expect = [&wrong] (bool ok, const juce::String& what) { if (! ok) wrong.add (what); };
        const auto install = [&]
        {
            const auto zip = archive.build();
            ov::test::Sandbox sandbox;
            ov::test::SandboxHost host (sandbox);
            host.versionReader = [] (const juce::File&) { return juce::String ("3.1.10.0"); };
            return ov::installBundle ({ bundle, bundle }, zip.getData(), zip.getSize(), "3.1.10", host);
        };
        const ov::BundleSiblings names (bundle);
        const auto folder = bundle.getParentDirectory();
        const auto before = ov::listFolder (folder);

        auto outcome = install();
        expect (outcome.succeeded, "the install failed: " + outcome.reason);
        expect (outcome.notes.size() == 1, "the install gave the notes: " + outcome.notes.joinIntoString (" | "));

        juce::StringArray leftovers;

        for (const auto& name : ov::listFolder (folder))
            if (! before.contains (name))
                leftovers.add (name);

        expect (leftovers.size() == 1, "left beside the bundle: " + leftovers.joinIntoString (", "));

        for (const auto& name : leftovers)
        {
            expect (names.isDiscardedName (name), name + " is not of the discarded kind");
            expect (outcome.notes[0].endsWith (folder.getChildFile (name).getFullPathName()), "the note does not say where: " + outcome.notes[0]);

            for (const auto* extension : { ".vst3", ".clap", ".aaxplugin" })
                expect (! name.endsWithIgnoreCase (extension), name + " has a plug-in extension");
        }

        outcome = install();
        expect (outcome.succeeded && outcome.notes.isEmpty(), "the next install: " + outcome.reason + outcome.notes.joinIntoString (" | "));

        outcome = ov::uninstallBundle (bundle);
        expect (outcome.succeeded && outcome.notes.isEmpty(), "the uninstall: " + outcome.reason + outcome.notes.joinIntoString (" | "));
        expect (! ov::pathIsTaken (bundle), "the bundle is still there after the uninstall");

        expect (ov::recoverInterruptedRun (bundle), "recovery after the uninstall says it is stuck");
        expect (! ov::pathIsTaken (bundle), "recovery put the leftover back as the plug-in");

        outcome = ov::uninstallBundle (bundle);
        expect (outcome.succeeded && outcome.notes.isEmpty(), "uninstalling again: " + outcome.reason);
        return wrong.joinIntoString ("\n");
    }
}

TEST_F (BundleInstall, AnImmutableFileInTheOldBundleNeitherBlocksLaterRunsNorComesBack)
{
    placeOldBundle();
    const ov::test::ScopedImmutable immutable (bundle.getChildFile ("Contents/Resources/old-only.txt"));

    if (! immutable.isApplied())
        GTEST_SKIP() << "no chattr +i here";

    EXPECT_EQ (checkStuckLeftoverDoesNotBlock (bundle, newVst3), juce::String());
}

TEST_F (BundleInstall, AFolderWithoutPermissionInTheOldBundleNeitherBlocksLaterRunsNorComesBack)
{
   #if JUCE_WINDOWS
    GTEST_SKIP() << "POSIX permissions taken from a forked child; Windows access control lists are another matter";
   #else
    placeOldBundle();
    const auto locked = bundle.getChildFile ("Contents/Locked");
    write (locked.getChildFile ("inside.txt"), "locked");
    ASSERT_EQ (chmod (locked.getFullPathName().toRawUTF8(), 0), 0);

    // In a child that has given up the rights to pass over permissions, as a user without them would.
    EXPECT_EQ (ov::test::runInChild ([&]
    {
        ov::test::dropPermissionOverride();
        return checkStuckLeftoverDoesNotBlock (bundle, newVst3);
    }), 0);

    for (const auto& name : ov::listFolder (folder))
        if (name.contains (".ov-del"))
            chmod (folder.getChildFile (name).getChildFile ("Contents/Locked").getFullPathName().toRawUTF8(), 0700);
   #endif
}

TEST_F (BundleInstall, AFolderOnAVolumeWithoutASizeIsNotWritableRatherThanFull)
{
   #if JUCE_WINDOWS
    GTEST_SKIP() << "a volume without a size is /proc, which Windows does not have";
   #else
    // /proc reports no size and no free space, and takes no new folders.
    bundle = juce::File ("/proc/self/clapdir/Tavrin3.clap");
    auto clap = ZipMaker().file ("Tavrin3.clap", "new module");
    ASSERT_EQ (juce::File ("/proc/self").getVolumeTotalSize(), 0);

    EXPECT_EQ (install (clap).reason, reasons::folderNotWritable);
    EXPECT_TRUE (ov::uninstallBundle (bundle).succeeded);
   #endif
}

TEST_F (BundleInstall, ADiskThatFillsUpMidUnpackLeavesTheOldBundle)
{
    // A small tmpfs mounted by the CTest entry in a private mount namespace.
    const auto smallDisk = juce::SystemStats::getEnvironmentVariable ("OV_SMALL_DISK", {});

    if (smallDisk.isEmpty())
        GTEST_SKIP() << "OV_SMALL_DISK names no small disk";

    folder = juce::File (smallDisk).getChildFile ("VST3");
    bundle = folder.getChildFile ("Tavrin3.vst3");
    const auto before = placeOldBundle();
    const auto space = folder.getBytesFreeOnVolume();
    ASSERT_GT (space, 0);
    ASSERT_LT (space, 16 * 1024 * 1024);

    // The archive fits in memory but its unpacked files do not fit on the disk.
    auto tooBig = ov::test::makeVst3Archive ("3.1.10.0\n").add ({ "Tavrin3.vst3\\Contents\\big.bin", ov::test::makeModule ("", (size_t) space + 65536, 11), false });

    EXPECT_EQ (install (tooBig).reason, reasons::notEnoughDiskSpace);
    EXPECT_EQ (snapshot (folder), before);
    EXPECT_EQ (folder.getBytesFreeOnVolume(), space);
    folder.deleteRecursively();
}

TEST_F (BundleInstall, AnArchiveCopyThatCannotBeAllocatedIsReported)
{
   #if JUCE_WINDOWS
    GTEST_SKIP() << "the address space is capped with setrlimit in a forked child";
   #else
    const auto before = placeOldBundle();
    juce::MemoryBlock archive (64 * 1024 * 1024, true);

    // In a child, with the address space capped so that only the copy of the archive no longer fits.
    EXPECT_EQ (ov::test::runInChild ([&]
    {
        rlim_t current = 0;

        for (const auto& line : juce::StringArray::fromLines (juce::File ("/proc/self/status").loadFileAsString()))
            if (line.startsWith ("VmSize:"))
                current = (rlim_t) line.fromFirstOccurrenceOf (":", false, false).trim().getLargeIntValue() * 1024;

        const rlimit limit { current + 32 * 1024 * 1024, current + 32 * 1024 * 1024 };
        setrlimit (RLIMIT_AS, &limit);
        return install (archive).reason == reasons::notEnoughMemory ? juce::String() : juce::String ("not reported");
    }), 0);
    EXPECT_EQ (snapshot (folder), before);
   #endif
}

//==============================================================================
// A run killed part-way, mended by the next one.

TEST_F (BundleInstall, AnOldBundleSetAsideByAKilledRunIsPutBack)
{
    const auto before = placeOldBundle();
    const ov::BundleSiblings names (bundle);
    ASSERT_EQ (ov::renameNoReplace (bundle, names.setAside), ov::RenameFailure::none);
    write (names.staging.getChildFile ("Tavrin3.vst3/Contents/x86_64-win/Tavrin3.vst3"), "half");

    EXPECT_TRUE (ov::recoverInterruptedRun (bundle));
    EXPECT_EQ (snapshot (folder), before);
}

TEST_F (BundleInstall, AnOldBundleLeftBesideTheNewOneIsDeleted)
{
    placeOldBundle();
    const ov::BundleSiblings names (bundle);
    ASSERT_TRUE (install (newVst3).succeeded);
    write (names.setAside.getChildFile ("Contents/x86_64-win/Tavrin3.vst3"), "3.1.9.0\nold");
    write (names.discarded.getChildFile ("Contents/half-deleted"), "x");

    EXPECT_TRUE (ov::recoverInterruptedRun (bundle));
    EXPECT_EQ (snapshot (folder), installedTree (newVst3));
}

TEST_F (BundleInstall, AHalfDeletedBundleIsNeverPutBack)
{
    const ov::BundleSiblings names (bundle);
    write (names.discarded.getChildFile ("Contents/x86_64-win/Tavrin3.vst3"), "3.1.9.0\nold");
    write (folder.getChildFile ("Tavrin3.vst3.ov-newer"), "not ours");

    EXPECT_TRUE (ov::recoverInterruptedRun (bundle));
    EXPECT_FALSE (ov::pathIsTaken (bundle));
    EXPECT_EQ (snapshot (folder), (Tree { { "Tavrin3.vst3.ov-newer", "not ours" } }));
}

TEST_F (BundleInstall, LeftoversAreClearedBeforeInstallingAndLinksAmongThemRemovedAsLinks)
{
    placeOldBundle();
    const ov::BundleSiblings names (bundle);
    write (names.staging.getChildFile ("Tavrin3.vst3/Contents/stale.bin"), "stale");
    write (names.staging.getChildFile ("Tavrin3.vst3/Plugin.ico"), "stale");

    EXPECT_TRUE (install (newVst3).succeeded);
    EXPECT_EQ (snapshot (folder), installedTree (newVst3));

    const auto usersFolder = sandbox.getRoot().getChildFile ("Users/Me");
    write (usersFolder.getChildFile ("song.txt"), "keep");
    const auto usersBefore = snapshot (usersFolder);

    for (const auto& leftover : { names.staging, names.setAside, names.discarded })
        if (! usersFolder.createSymbolicLink (leftover, false))
            OV_SKIP_WITHOUT_LINKS_OR_FAIL();

    EXPECT_TRUE (install (newVst3).succeeded);
    EXPECT_EQ (snapshot (folder), installedTree (newVst3));
    EXPECT_EQ (snapshot (usersFolder), usersBefore);
}

TEST_F (BundleInstall, ALeftoverThatCannotBeMovedStopsTheRunBeforeItTouchesTheBundle)
{
    const auto before = placeOldBundle();
    const ov::BundleSiblings names (bundle);
    const auto stuck = names.staging.getChildFile ("Tavrin3.vst3/stuck.bin");
    write (stuck, "stuck");
    auto expected = before;   // the leftover stays, and so does everything else
    expected.insert ({ { "Tavrin3.vst3.ov-new/", {} }, { "Tavrin3.vst3.ov-new/Tavrin3.vst3/", {} },
                       { "Tavrin3.vst3.ov-new/Tavrin3.vst3/stuck.bin", "stuck" } });
    // The folder itself immutable: it can be neither deleted nor moved out of the way.
    const ov::test::ScopedImmutable immutable (names.staging);

    if (! immutable.isApplied())
        GTEST_SKIP() << "no chattr +i here";

    EXPECT_EQ (install (newVst3).reason, reasons::leftoversStuck);
    EXPECT_EQ (snapshot (folder), expected);
}
