// What an old bundle holds or what lies beside it never makes a run touch anything else, and the swap
// keeps its order on the disk.

#include "host/RemoveTree.h"
#include "host/RenameNoReplace.h"
#include "support/ChildRun.h"
#include "support/FileCallLog.h"
#include "tests/install/BundleInstallFixture.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

namespace reasons = ov::failureReasons;
using ov::test::BundleInstall;
using ov::test::snapshot;
using ov::test::Tree;
using ov::test::write;
using ov::test::ZipMaker;

TEST_F (BundleInstall, RemovalNeverEntersAFolderMountedInTheOldBundle)
{
    const auto elsewhere = sandbox.getRoot().getChildFile ("Elsewhere");
    write (elsewhere.getChildFile ("keep.txt"), "keep");
    write (elsewhere.getChildFile ("sub/keep.txt"), "keep");
    const auto elsewhereBefore = snapshot (elsewhere);

    const auto status = ov::test::runInChild ([&]() -> juce::String
    {
        // Nothing mounted in this child's own mount namespace is seen outside it.
        if (unshare (CLONE_NEWNS) != 0 || mount (nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return "skip: no private mount namespace here";

        const ov::BundleSiblings names (bundle);
        juce::StringArray wrong;

        // Another folder of the same file system, then a file system of its own, at Contents/mnt; removed
        // by an install, then by an uninstall.
        for (const auto sameDevice : { true, false })
        {
            for (const auto uninstalling : { false, true })
            {
                const auto what = juce::String (sameDevice ? "bind mount, " : "tmpfs, ") + (uninstalling ? "uninstall" : "install");
                placeOldBundle();
                const auto mountPoint = bundle.getChildFile ("Contents/mnt");
                mountPoint.createDirectory();
                const auto* at = mountPoint.getFullPathName().toRawUTF8();

                if (sameDevice ? mount (elsewhere.getFullPathName().toRawUTF8(), at, nullptr, MS_BIND, nullptr) != 0
                               : mount ("tmpfs", at, "tmpfs", 0, "size=1m") != 0 || ! mountPoint.getChildFile ("keep.txt").replaceWithText ("keep"))
                    return "skip: cannot mount here";

                const auto inside = snapshot (mountPoint);
                const auto outcome = uninstalling ? ov::uninstallBundle (bundle) : install (newVst3);
                juce::File leftover;

                for (const auto& name : ov::listFolder (folder))
                    if (names.isDiscardedName (name) && folder.getChildFile (name + "/Contents/mnt").isDirectory())
                        leftover = folder.getChildFile (name);

                if (! outcome.succeeded || outcome.notes != juce::StringArray (ov::describeLeftFiles (leftover)))
                    wrong.add (what + ": " + outcome.reason + " | " + outcome.notes.joinIntoString (" | "));

                if (snapshot (leftover.getChildFile ("Contents/mnt")) != inside)
                    wrong.add (what + ": the mounted folder was changed");

                if (uninstalling == ov::pathIsTaken (bundle))
                    wrong.add (what + ": the bundle is " + (uninstalling ? "still there" : "missing"));

                umount2 (leftover.getChildFile ("Contents/mnt").getFullPathName().toRawUTF8(), MNT_DETACH);
            }
        }

        return wrong.joinIntoString ("\n");
    });

    if (status == ov::test::childSkipped)
        GTEST_SKIP() << "no private mount namespace or mounts here";

    EXPECT_EQ (status, 0);
    EXPECT_EQ (snapshot (elsewhere), elsewhereBefore);
}

TEST_F (BundleInstall, AThousandStuckLeftoversNeitherBlockNorMisreportARun)
{
    placeOldBundle();
    const ov::BundleSiblings names (bundle);
    const auto lockedIn = [&names] (int number) { return names.discardedNumber (number).getChildFile ("locked"); };

    // Each holds a folder that only the rights to pass over permissions could empty.
    for (int number = 1; number <= 1000; ++number)
    {
        write (lockedIn (number).getChildFile ("inside.txt"), "stuck");
        ASSERT_EQ (chmod (lockedIn (number).getFullPathName().toRawUTF8(), 0), 0);
    }

    EXPECT_EQ (ov::test::runInChild ([&]
    {
        ov::test::dropPermissionOverride();
        juce::StringArray wrong;

        for (const auto* run : { "first install", "second install", "uninstall" })
        {
            const auto outcome = juce::String (run) == "uninstall" ? ov::uninstallBundle (bundle) : install (newVst3);

            if (! outcome.succeeded || ! outcome.notes.isEmpty())
                wrong.add (juce::String (run) + ": " + outcome.reason + " | " + outcome.notes.joinIntoString (" | "));
        }

        juce::StringArray discardedNames;

        for (const auto& name : ov::listFolder (folder))
            if (names.isDiscardedName (name))
                discardedNames.add (name);

        if (discardedNames.size() != 1000 || ov::pathIsTaken (bundle))
            wrong.add ("left: " + juce::String (discardedNames.size()) + " discarded names, the bundle "
                       + (ov::pathIsTaken (bundle) ? "there" : "gone"));

        return wrong.joinIntoString ("\n");
    }), 0);

    for (int number = 1; number <= 1000; ++number)
        chmod (lockedIn (number).getFullPathName().toRawUTF8(), 0700);
}

//==============================================================================
// The order of the swap, seen through the calls it makes.

TEST_F (BundleInstall, TheNewBundleIsOnTheDiskBeforeTheOldMovesAndTheSwapBeforeTheOldIsDeleted)
{
    placeOldBundle();
    const ov::BundleSiblings names (bundle);
    const auto staged = names.staging.getChildFile (bundle.getFileName());
    const auto path = [] (const juce::File& f) { return f.getFullPathName(); };
    ov::test::FileCallLog log;

    ASSERT_TRUE (install (newVst3).succeeded);

    const auto setAside = log.indexOf ("rename " + path (bundle) + " -> " + path (names.setAside));
    const auto movedIn = log.indexOf ("rename " + path (staged) + " -> " + path (bundle));
    const auto discarded = log.indexOf ("rename " + path (names.setAside) + " -> " + path (names.discarded));
    ASSERT_TRUE (0 <= setAside && setAside < movedIn && movedIn < discarded) << log.calls.joinIntoString ("\n");

    // Every file and folder of the new bundle, and the folder that holds its name while it is staged.
    auto stagedPaths = juce::StringArray (path (names.staging));

    for (const auto& [name, contents] : ov::test::expectedTree (newVst3))
        stagedPaths.add (path (names.staging.getChildFile (name.trimCharactersAtEnd ("/"))));

    for (const auto& stagedPath : stagedPaths)
    {
        const auto flushed = log.indexOf ("flush " + stagedPath);
        EXPECT_TRUE (0 <= flushed && flushed < setAside) << stagedPath;
    }

    // The install folder, which holds both renamed names.
    const auto folderFlushed = log.calls.indexOf ("flush " + path (folder), false, movedIn);
    EXPECT_TRUE (movedIn < folderFlushed && folderFlushed < discarded) << log.calls.joinIntoString ("\n");
}

TEST_F (BundleInstall, SomethingPutAtTheBundlesPlaceDuringTheSwapIsNeverReplaced)
{
    const auto contentsOf = [] (const juce::File& f)
    {
        return f.isDirectory() ? snapshot (f) : Tree { { "", f.loadFileAsString().toStdString() } };
    };
    auto clap = ZipMaker().file ("Tavrin3.clap", "new module");

    // An empty folder would be replaced by the new bundle folder, a file by the new CLAP file.
    for (const auto isFolder : { true, false })
    {
        if (isFolder)
            placeOldBundle();
        else
            placeOldClapBundle();

        const ov::BundleSiblings names (bundle);
        const auto oldBundle = contentsOf (bundle);
        ov::test::FileCallLog log;

        // Another program makes the plug-in's place again just after the old bundle moved aside.
        log.afterRename = [&] (const juce::String&, const juce::String& to)
        {
            if (to == names.setAside.getFullPathName())
                isFolder ? (void) bundle.createDirectory() : (void) bundle.replaceWithText ("another program's");
        };

        EXPECT_EQ (install (isFolder ? newVst3 : clap).reason, reasons::bundlePathTaken);
        const Tree made { { "", "another program's" } };
        EXPECT_EQ (contentsOf (bundle), isFolder ? Tree() : made);
        EXPECT_TRUE (bundle.isDirectory() == isFolder);
        EXPECT_EQ (contentsOf (names.setAside), oldBundle);
        EXPECT_FALSE (ov::pathIsTaken (names.staging));
    }
}
