#include "host/RemoveTree.h"
#include "host/RenameNoReplace.h"
#include "support/ChildRun.h"
#include "support/Sandbox.h"
#include "tests/install/BundleFixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

using ov::test::snapshot;
using ov::test::write;

namespace
{
    /** A tmpfs where the system has one: on a disk, the journal turns the hundreds of thousands of folders
        these tests make and remove into minutes. */
    juce::File memoryFolder()
    {
        const juce::File shm ("/dev/shm");
        return shm.isDirectory() ? shm : juce::File::getSpecialLocation (juce::File::tempDirectory);
    }

    /** A FIFO, a socket, a name made of dots and a hidden file in the open folder. The socket is bound
        through /proc so that its path stays short at any depth. */
    bool addOddEntries (int folderFd)
    {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::snprintf (address.sun_path, sizeof (address.sun_path), "/proc/self/fd/%d/socket", folderFd);
        const auto socketFd = ::socket (AF_UNIX, SOCK_STREAM, 0);
        const auto bound = ::bind (socketFd, reinterpret_cast<const sockaddr*> (&address), sizeof (address)) == 0;
        ::close (socketFd);

        const auto file = openat (folderFd, "...", O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        ::close (file);
        return bound && file >= 0 && mkfifoat (folderFd, "pipe", 0600) == 0 && mkdirat (folderFd, ".hidden", 0700) == 0;
    }

    /** A chain of folders named "d", depth levels below the open folder, without ever holding more than
        two descriptors; atLevel sees each new folder. Closes nothing it was given. */
    bool makeChain (int topFd, int depth, const std::function<bool (int folderFd, int level)>& atLevel)
    {
        auto fd = topFd;
        auto ok = true;

        for (int level = 1; level <= depth && ok; ++level)
        {
            const auto next = mkdirat (fd, "d", 0700) == 0 ? openat (fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;

            if (fd != topFd)
                ::close (fd);

            fd = next;
            ok = fd >= 0 && atLevel (fd, level);
        }

        if (fd >= 0 && fd != topFd)
            ::close (fd);

        return ok;
    }
}

TEST (RemoveTree, TreesOfAnyDepthGoWithinTheDesktopFileLimitAndASmallStack)
{
    const ov::test::Sandbox sandbox (memoryFolder());
    const auto top = sandbox.getRoot().getChildFile ("Tavrin3.vst3");
    ASSERT_TRUE (top.createDirectory());

    const auto status = ov::test::runInChild ([&]() -> juce::String
    {
        // Side chains and odd entries along the way, so that levels whose listing the walk had to let go
        // are listed again and still have work in them.
        const auto topFd = open (top.getFullPathName().toRawUTF8(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const auto built = makeChain (topFd, 100000, [] (int fd, int level)
        {
            return level % 5000 != 0 || (addOddEntries (fd) && makeChain (fd, 40, [] (int, int) { return true; })
                                         && renameat (fd, "d", fd, "side") == 0);
        });
        ::close (topFd);

        if (! built)
            return "the tree could not be built";

        const rlimit files { 1024, 1024 }, stack { 2 << 20, 2 << 20 };
        setrlimit (RLIMIT_NOFILE, &files);
        setrlimit (RLIMIT_STACK, &stack);

        if (! ov::removeTree (top) || ov::pathIsTaken (top))
            return "the tree is still there";

        return {};
    });

    EXPECT_EQ (status, 0);
}

TEST (RemoveTree, FoldersSwappedForLinksOrMovedAwayMidWalkNeverLeadOutside)
{
    const ov::test::Sandbox sandbox (memoryFolder());
    const auto outside = sandbox.getRoot().getChildFile ("Outside");
    write (outside.getChildFile ("keep.txt"), "keep");
    write (outside.getChildFile ("d/keep.txt"), "keep");
    const auto outsideBefore = snapshot (outside);
    const auto top = sandbox.getRoot().getChildFile ("Tavrin3.vst3");
    const auto topFolder = top.getFullPathName().toStdString();
    const auto outsideFolder = outside.getFullPathName().toStdString();
    auto swaps = 0;

    for (int trial = 0; trial < 400; ++trial)
    {
        // Deeper than the walk keeps open, so that going back up goes through "..".
        ASSERT_TRUE (top.createDirectory());
        const auto topFd = open (topFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_TRUE (makeChain (topFd, 120, [] (int fd, int) { return mkdirat (fd, "x", 0700) == 0; }));
        ::close (topFd);

        // Odd trials move the second level into the outside folder; even ones put a link to the outside
        // folder in place of a folder, again and again.
        std::atomic<bool> done { false };
        std::thread attacker ([&, trial]
        {
            const auto second = topFolder + "/d/d", moved = outsideFolder + "/moved";
            std::this_thread::sleep_for (std::chrono::microseconds (trial % 50 * 20));

            if (trial % 2 == 1)
            {
                swaps += std::rename (second.c_str(), moved.c_str()) == 0 ? 1 : 0;
                return;
            }

            while (! done)
                if (std::rename (second.c_str(), (topFolder + "/away").c_str()) == 0)
                {
                    swaps += symlink (outsideFolder.c_str(), second.c_str()) == 0 ? 1 : 0;
                    unlink (second.c_str());
                    std::rename ((topFolder + "/away").c_str(), second.c_str());
                }
        });

        ov::removeTree (top);
        done = true;
        attacker.join();

        ov::removeTree (outside.getChildFile ("moved"));
        ov::removeTree (top);
        ASSERT_EQ (snapshot (outside), outsideBefore) << "trial " << trial;
    }

    RecordProperty ("swaps", swaps);
    EXPECT_GT (swaps, 200);
}

TEST (RenameNoReplace, NeverReplacesWhatIsAtTheDestination)
{
    ov::test::Sandbox sandbox;
    const auto folder = sandbox.getRoot();
    const auto source = folder.getChildFile ("source"), destination = folder.getChildFile ("destination");

    const std::vector<std::function<void (const juce::File&)>> makers {
        [] (const juce::File& f) { write (f, "a file"); },
        [] (const juce::File& f) { ASSERT_TRUE (f.createDirectory()); },
        [] (const juce::File& f) { write (f.getChildFile ("inside.txt"), "a folder"); },
        [&] (const juce::File& f) { ASSERT_TRUE (folder.getChildFile ("nowhere").createSymbolicLink (f, false)); }
    };

    for (size_t from = 0; from < makers.size(); ++from)
    {
        for (size_t to = 0; to < makers.size(); ++to)
        {
            makers[from] (source);
            makers[to] (destination);
            const auto before = snapshot (folder);

            EXPECT_EQ (ov::renameNoReplace (source, destination), ov::RenameFailure::destinationExists) << from << " onto " << to;
            EXPECT_EQ (snapshot (folder), before) << from << " onto " << to;

            ov::removeTree (source);
            ov::removeTree (destination);
        }
    }

    // A free name is taken, and a link moves as a link.
    makers[3] (source);
    EXPECT_EQ (ov::renameNoReplace (source, destination), ov::RenameFailure::none);
    EXPECT_TRUE (destination.isSymbolicLink());
    EXPECT_FALSE (ov::pathIsTaken (source));
}
