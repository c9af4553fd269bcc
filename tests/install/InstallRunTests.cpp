#include "host/RemoveTree.h"
#include "host/RenameNoReplace.h"
#include "install/BundleInstaller.h"
#include "install/FormatProbe.h"
#include "install/InstallRun.h"
#include "support/Sandbox.h"
#include "tests/install/BundleFixtures.h"

#if ! JUCE_WINDOWS
 #include "support/InChild.h"
#endif

#include <gtest/gtest.h>

#if ! JUCE_WINDOWS
 #include "support/InChild.h"

 #include <sys/socket.h>
 #include <sys/stat.h>
 #include <sys/un.h>
 #include <sys/wait.h>
 #include <unistd.h>
#endif

#include <future>
#include <optional>
#include <thread>

namespace reasons = ov::failureReasons;
using ov::test::snapshot;

namespace
{
   #if ! JUCE_WINDOWS
    /** Another copy of the installer: a child process that holds the guard until it is told to let go. */
    class OtherCopy final
    {
    public:
        explicit OtherCopy (const ov::Host& host)
        {
            if (pipe (toChild) != 0 || pipe (fromChild) != 0)
                return;

            pid = fork();

            if (pid == 0)
            {
                const ov::InstallGuard guard (host, 0);
                char byte = guard.isHeld() ? 'y' : 'n';
                [[maybe_unused]] auto written = ::write (fromChild[1], &byte, 1);
                [[maybe_unused]] auto read = ::read (toChild[0], &byte, 1);
                _exit (0);
            }

            char byte = 0;
            holds = pid > 0 && ::read (fromChild[0], &byte, 1) == 1 && byte == 'y';
        }

        void letGo()
        {
            if (pid <= 0)
                return;

            [[maybe_unused]] auto written = ::write (toChild[1], "x", 1);
            waitpid (pid, nullptr, 0);
            pid = -1;
        }

        ~OtherCopy()
        {
            letGo();

            for (auto fd : { toChild[0], toChild[1], fromChild[0], fromChild[1] })
                if (fd >= 0)
                    close (fd);
        }

        bool holds = false;

    private:
        int toChild[2] { -1, -1 }, fromChild[2] { -1, -1 };
        pid_t pid = -1;
    };
   #else
    /** Another copy of the installer: on Windows the guard is a named mutex, which belongs to the thread
        that took it, so another thread holds it as another process would. */
    class OtherCopy final
    {
    public:
        explicit OtherCopy (const ov::Host& host)
            : holder ([this, &host]
              {
                  const ov::InstallGuard guard (host, 0);
                  taken.set_value (guard.isHeld());
                  release.wait();
              })
        {
            holds = answer.get();
        }

        void letGo()
        {
            release.signal();

            if (holder.joinable())
                holder.join();
        }

        ~OtherCopy()
        {
            letGo();
        }

        bool holds = false;

    private:
        std::promise<bool> taken;
        std::future<bool> answer = taken.get_future();
        juce::WaitableEvent release;
        std::thread holder;
    };
   #endif

    class InstallRun : public ::testing::Test
    {
    protected:
        ov::test::Sandbox sandbox;
        ov::test::SandboxHost host { sandbox };
        juce::MemoryBlock archive = ov::test::makeVst3Archive ("3.1.10.0\n").build();

        ov::FormatFiles filesOf (int index) const
        {
            return ov::makeFormatFiles (sandbox.getCommonFiles().getChildFile (ov::product::formats[(size_t) index].defaultSubfolder),
                                        "Tavrin3", index);
        }

        ov::FormatJobs vst3AndAax() const
        {
            ov::FormatJobs jobs;
            jobs[0] = ov::FormatJob { filesOf (0), archive.getData(), archive.getSize(), {} };
            jobs[2] = ov::FormatJob { filesOf (2), nullptr, 0, {} };
            return jobs;
        }

        std::array<juce::File, 3> bundles() const     { return { filesOf (0).bundle, filesOf (1).bundle, filesOf (2).bundle }; }
    };
}

//==============================================================================
TEST_F (InstallRun, WhileAnotherCopyHoldsTheGuardNothingIsTouchedAndEachSelectedFormatSaysSo)
{
    host.versionReader = [] (const juce::File&) { return juce::String ("3.1.10.0"); };
    ov::test::write (filesOf (2).versionProbeFile, "old");
    const auto setAside = ov::BundleSiblings (filesOf (0).bundle).setAside;
    ov::test::write (setAside.getChildFile ("Contents/x86_64-win/Tavrin3.vst3"), "the user's");
    const auto before = snapshot (sandbox.getRoot());

    OtherCopy other (host);
    ASSERT_TRUE (other.holds);

    EXPECT_FALSE (ov::recoverInterruptedRuns (bundles(), host));

    for (const auto uninstalling : { false, true })
    {
        const auto outcomes = ov::runFormats (vst3AndAax(), uninstalling, "3.1.10", host, 50);

        for (const auto index : { 0, 2 })
        {
            EXPECT_TRUE (outcomes[(size_t) index].processed);
            EXPECT_EQ (outcomes[(size_t) index].reason, reasons::anotherCopyBusy) << index;
        }

        EXPECT_FALSE (outcomes[1].processed);
        EXPECT_EQ (snapshot (sandbox.getRoot()), before) << uninstalling;
    }

    // Once it has gone, the set-aside bundle goes back and runs go ahead.
    other.letGo();
    EXPECT_TRUE (ov::recoverInterruptedRuns (bundles(), host));
    EXPECT_TRUE (filesOf (0).bundle.isDirectory());
    EXPECT_FALSE (ov::pathIsTaken (setAside));

    const auto outcomes = ov::runFormats (vst3AndAax(), true, "3.1.10", host, 50);
    EXPECT_TRUE (outcomes[0].succeeded && outcomes[2].succeeded);
    EXPECT_FALSE (ov::pathIsTaken (filesOf (0).bundle) || ov::pathIsTaken (filesOf (2).bundle));
}

TEST_F (InstallRun, AGuardThatCannotBeTakenSafelyIsSaidSoAndNothingIsTouched)
{
   #if JUCE_WINDOWS
    GTEST_SKIP() << "the hostile lock files, folders and users of a POSIX system; Windows guards with a named mutex";
   #else
    host.versionReader = [] (const juce::File&) { return juce::String ("3.1.10.0"); };
    ov::test::write (ov::BundleSiblings (filesOf (0).bundle).setAside.getChildFile ("Contents/x86_64-win/Tavrin3.vst3"), "the user's");
    const auto before = snapshot (sandbox.getRoot());

    const auto lock = ov::InstallGuard::getLocation (host).toStdString();
    const auto prefix = sandbox.getPrefix().getFullPathName().toStdString();
    const auto linkedPrefix = sandbox.getPrefix().getChildFile ("linked");
    const auto linkTarget = sandbox.getRoot().getChildFile ("made through the link").getFullPathName().toStdString();
    const auto* nobody = getpwnam ("nobody");
    std::optional<OtherCopy> ownersCopy;

    struct Hostile { const char* what; bool byNobody; std::function<void()> make; };
    const Hostile everyUser[] = {
        { "a folder at its path", false, [&] { mkdir (lock.c_str(), 0700); } },
        { "a link at its path", false, [&] { symlink (linkTarget.c_str(), lock.c_str()); } },
        { "a FIFO at its path", false, [&] { mkfifo (lock.c_str(), 0600); } },
        { "a folder that others may write to", false, [&] { chmod (prefix.c_str(), 01777); } },
        { "a folder reached through a link", false, [&] { linkedPrefix.createSymbolicLink (sandbox.getPrefix(), true);
                                                          host.lockFolder = linkedPrefix; } },
    };
    const Hostile rootOnly[] = {
        { "a folder of another user", false, [&] { chown (prefix.c_str(), nobody->pw_uid, nobody->pw_gid); } },
        { "a folder that a shared group may write to", false, [&] { chown (prefix.c_str(), geteuid(), nobody->pw_gid);
                                                                   chmod (prefix.c_str(), 0770); } },
        { "root's 0600 file at its path, for another user's copy", true, [&] {
              chown (prefix.c_str(), nobody->pw_uid, nobody->pw_gid);
              close (open (lock.c_str(), O_CREAT | O_WRONLY, 0600)); } },
        { "another user's copy while the owner's copy works", true, [&] { chmod (prefix.c_str(), 0755);
                                                                         ownersCopy.emplace (host); } },
    };

    // Each copy is a child process; none may change a file, mend a leftover, or call the guard busy.
    const auto expected = juce::String (reasons::cannotRunAlone) + " | " + reasons::cannotRunAlone + " | no recovery";
    const auto tryAll = [&] (const auto& cases)
    {
        for (const auto& hostile : cases)
        {
            hostile.make();
            const auto report = ov::test::runInChild ([&]
            {
                const auto outcomes = ov::runFormats (vst3AndAax(), false, "3.1.10", host, 50);
                return outcomes[0].reason + " | " + outcomes[2].reason
                       + (ov::recoverInterruptedRuns (bundles(), host) ? " | recovered" : " | no recovery");
            }, hostile.byNobody ? nobody : nullptr);

            EXPECT_EQ (report, expected) << hostile.what;
            EXPECT_EQ (snapshot (sandbox.getRoot()), before) << hostile.what;

            ownersCopy.reset();
            linkedPrefix.deleteFile();
            host.lockFolder = sandbox.getPrefix();
            ::remove (lock.c_str());
            chown (prefix.c_str(), geteuid(), getegid());
            chmod (prefix.c_str(), 0700);
        }
    };

    tryAll (everyUser);

    if (geteuid() != 0 || nobody == nullptr)
        GTEST_SKIP() << "the cases of other users need root and the user nobody";

    tryAll (rootOnly);
   #endif
}

TEST_F (InstallRun, TwoCopiesRunningAtOnceNeverReportWhatDidNotHappen)
{
   #if JUCE_WINDOWS
    GTEST_SKIP() << "the other copy is a forked child; on Windows two copies are two programs (the end-to-end suite runs them)";
   #else
    host.versionReader = [] (const juce::File&) { return juce::String ("3.1.10.0"); };
    ov::FormatJobs jobs;
    jobs[0] = ov::FormatJob { filesOf (0), archive.getData(), archive.getSize(), {} };

    // Each copy installs, removes and installs again, over and over, with start-up recovery in between;
    // a copy exits non-zero on the first report that is neither a success nor "busy".
    const auto runMany = [&]
    {
        for (int i = 0; i < 40; ++i)
        {
            ov::recoverInterruptedRuns (bundles(), host);
            const auto outcome = ov::runFormats (jobs, i % 3 == 1, "3.1.10", host)[0];

            if (! outcome.succeeded && outcome.reason != reasons::anotherCopyBusy)
                return 1;
        }

        return 0;
    };

    const auto child = fork();
    ASSERT_GE (child, 0);

    if (child == 0)
        _exit (runMany());

    EXPECT_EQ (runMany(), 0);
    int status = 0;
    waitpid (child, &status, 0);
    EXPECT_TRUE (WIFEXITED (status) && WEXITSTATUS (status) == 0);

    ov::recoverInterruptedRuns (bundles(), host);
    EXPECT_FALSE (juce::File (ov::InstallGuard::getLocation (host)).exists()) << "the lock's file stays";
    EXPECT_EQ (snapshot (filesOf (0).bundle.getParentDirectory()).count ("Tavrin3.vst3/"), 1u);
    EXPECT_EQ (filesOf (0).bundle.getParentDirectory().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1);
   #endif
}

TEST_F (InstallRun, AnInstallThatAUsersOwnCopyHidesSaysWhereThatCopyIsAndLeavesIt)
{
    host.versionReader = [] (const juce::File&) { return juce::String ("3.1.10.0"); };
    const auto usersCopy = sandbox.getUserVst3().getChildFile ("Tavrin3.vst3");
    ov::FormatJobs jobs;
    jobs[0] = ov::FormatJob { filesOf (0), archive.getData(), archive.getSize(), usersCopy };

    // No copy there: nothing to say.
    EXPECT_TRUE (ov::runFormats (jobs, false, "3.1.10", host)[0].notes.isEmpty());

    ov::test::write (usersCopy.getChildFile ("Contents/x86_64-win/Tavrin3.vst3"), "3.1.2.0");
    const auto before = snapshot (sandbox.getUserVst3());

    for (const auto uninstalling : { false, true, false })
    {
        const auto outcome = ov::runFormats (jobs, uninstalling, "3.1.10", host)[0];
        EXPECT_TRUE (outcome.succeeded) << outcome.reason;
        ASSERT_EQ (outcome.notes.size(), uninstalling ? 0 : 1);

        if (! uninstalling)
        {
            EXPECT_TRUE (outcome.notes[0].contains (sandbox.getUserVst3().getFullPathName())) << outcome.notes[0];
        }

        EXPECT_EQ (snapshot (sandbox.getUserVst3()), before);
    }

    EXPECT_EQ (ov::probeBundle (filesOf (0).bundle, filesOf (0).versionProbeFile, "3.1.10", host).installState,
               ov::InstallState::installed);
}

TEST_F (InstallRun, OnlyACopyAHostWouldLoadIsNoted)
{
   #if JUCE_WINDOWS
    GTEST_SKIP() << "dangling links, FIFOs and sockets in the user's folder are POSIX files";
   #else
    host.versionReader = [] (const juce::File&) { return juce::String ("3.1.10.0"); };
    const auto usersCopy = sandbox.getUserVst3().getChildFile ("Tavrin3.vst3");
    const auto at = usersCopy.getFullPathName();
    const juce::File modules (OV_TEST_FIXTURES_DIR "/pe");
    ov::FormatJobs jobs;
    jobs[0] = ov::FormatJob { filesOf (0), archive.getData(), archive.getSize(), usersCopy };

    // What is put at the user's copy, and whether a host would load it.
    std::vector<std::tuple<const char*, std::function<bool()>, bool>> cases {
        { "an empty file", [&] { return usersCopy.create().wasOk(); }, false },
        { "a 32-bit module", [&] { return modules.getChildFile ("v3.1.10.0-x86.dll").copyFileTo (usersCopy); }, false },
        { "a 64-bit module", [&] { return modules.getChildFile ("v3.1.9.0-x64.dll").copyFileTo (usersCopy); }, true },
        { "a bundle folder", [&] { return usersCopy.createDirectory().wasOk(); }, true }
    };

   #if ! JUCE_WINDOWS
    // What only a POSIX system puts there (Wine 8 makes no links for Windows programs either).
    const auto makeSocket = [&]
    {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        at.copyToUTF8 (address.sun_path, sizeof (address.sun_path));
        const auto fd = ::socket (AF_UNIX, SOCK_STREAM, 0);
        const auto bound = ::bind (fd, reinterpret_cast<const sockaddr*> (&address), sizeof (address)) == 0;
        ::close (fd);
        return bound;
    };

    cases.insert (cases.end(), {
        { "a dangling link", [&] { return sandbox.getRoot().getChildFile ("nowhere").createSymbolicLink (usersCopy, false); }, false },
        { "a FIFO", [&] { return mkfifo (at.toRawUTF8(), 0600) == 0; }, false },
        { "a socket", makeSocket, false },
        { "a link to a bundle folder", [&] { return sandbox.getRoot().createSymbolicLink (usersCopy, false); }, true }
    });
   #endif

    for (const auto& [what, make, loads] : cases)
    {
        ASSERT_TRUE (sandbox.getUserVst3().createDirectory());
        ASSERT_TRUE (make()) << what;

        const auto outcome = ov::runFormats (jobs, false, "3.1.10", host)[0];
        EXPECT_TRUE (outcome.succeeded) << what << ": " << outcome.reason;
        EXPECT_EQ (outcome.notes.size(), loads ? 1 : 0) << what << ": " << outcome.notes.joinIntoString (" | ");
        EXPECT_TRUE (ov::removeTree (usersCopy)) << what;
    }
   #endif
}
