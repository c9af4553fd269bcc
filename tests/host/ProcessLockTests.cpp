#include "host/ProcessLock.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <vector>

using State = ov::ProcessLock::State;

namespace
{

class ProcessLockTest : public ::testing::Test
{
protected:
    ov::test::Sandbox sandbox;
    juce::File lockFile = sandbox.getPrefix().getChildFile ("test.lock");
    juce::String location = lockFile.getFullPathName();
};

} // namespace

TEST_F (ProcessLockTest, ProcessesTakeItInTurnAndTheLastOneLeavesNoFile)
{
    // Inside the lock each process makes a marker that must not be there yet, and removes it again.
    const auto marker = sandbox.getPrefix().getChildFile ("inside").getFullPathName().toStdString();
    std::vector<pid_t> children;

    for (int c = 0; c < 3; ++c)
    {
        const auto child = fork();
        ASSERT_GE (child, 0);

        if (child == 0)
        {
            for (int i = 0; i < 40; ++i)
            {
                const ov::ProcessLock lock (location, 10000);
                const auto fd = lock.getState() == State::held ? open (marker.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600) : -1;

                if (fd < 0)
                    _exit (1);

                close (fd);
                
                unlink (marker.c_str());
            }

            _exit (0);
        }

        children.push_back (child);
    }

    for (const auto child : children)
    {
        int status = -1;
        waitpid (child, &status, 0);
        EXPECT_TRUE (WIFEXITED (status) && WEXITSTATUS (status) == 0) << "two processes held the lock at once";
    }

    EXPECT_FALSE (lockFile.exists());
}

TEST_F (ProcessLockTest, AWaiterThatOpenedTheFileItsHolderThenRemovedStillExcludesTheNext)
{
    int go[2], answer[2];
    ASSERT_EQ (pipe (go), 0);
    ASSERT_EQ (pipe (answer), 0);
    const auto waiter = fork();
    ASSERT_GE (waiter, 0);

    if (waiter == 0)
    {
        char byte = 0;
        [[maybe_unused]] const auto read = ::read (go[0], &byte, 1);
        const ov::ProcessLock lock (location, 5000);
        [[maybe_unused]] const auto written = ::write (answer[1], lock.getState() == State::held ? "y" : "n", 1);
        pause();
        _exit (0);
    }

    // The waiter opens the file while the first holder has it; the holder removes it as it lets go.
    auto first = std::make_unique<ov::ProcessLock> (location, 0);
    ASSERT_EQ (first->getState(), State::held);
    ASSERT_EQ (::write (go[1], "x", 1), 1);
    usleep (100 * 1000);
    first.reset();

    char byte = 0;
    EXPECT_EQ (::read (answer[0], &byte, 1), 1);
    EXPECT_EQ (byte, 'y');
    EXPECT_EQ (ov::ProcessLock (location, 0).getState(), State::heldByAnother);

    kill (waiter, SIGKILL);
    waitpid (waiter, nullptr, 0);

    for (const auto fd : { go[0], go[1], answer[0], answer[1] })
        close (fd);
}

TEST_F (ProcessLockTest, OnlyALiveHolderMakesItBusyAndAKilledOneLetsGo)
{
    int ready[2];
    ASSERT_EQ (pipe (ready), 0);
    const auto holder = fork();
    ASSERT_GE (holder, 0);

    if (holder == 0)
    {
        const ov::ProcessLock lock (location, 0);
        [[maybe_unused]] const auto written = ::write (ready[1], lock.getState() == State::held ? "y" : "n", 1);
        pause();
        _exit (0);
    }

    char byte = 0;
    ASSERT_EQ (::read (ready[0], &byte, 1), 1);
    ASSERT_EQ (byte, 'y');
    EXPECT_EQ (ov::ProcessLock (location, 0).getState(), State::heldByAnother);
    EXPECT_EQ (ov::ProcessLock (location, 30).getState(), State::heldByAnother);

    kill (holder, SIGKILL);
    waitpid (holder, nullptr, 0);
    close (ready[0]);
    close (ready[1]);

    // The killed holder's file stays until the next holder is done with it.
    EXPECT_TRUE (lockFile.existsAsFile());
    EXPECT_EQ (ov::ProcessLock (location, 0).getState(), State::held);
    EXPECT_FALSE (lockFile.exists());
}

TEST_F (ProcessLockTest, AMissingFolderHoldsNoOnesLockAndTheUsersOwnGroupMayWriteToIt)
{
    // A folder that is not there is no one's lock.
    EXPECT_EQ (ov::ProcessLock (sandbox.getPrefix().getChildFile ("missing/test.lock").getFullPathName(), 0).getState(),
               State::unavailable);

    // Where each user has a group of their own, it may write to the user's folders.
    const auto* user = getpwuid (geteuid());
    const auto* ownGroup = user != nullptr ? getgrgid (user->pw_gid) : nullptr;

    if (ownGroup != nullptr && std::strcmp (ownGroup->gr_name, user->pw_name) == 0 && *ownGroup->gr_mem == nullptr
         && chown (sandbox.getPrefix().getFullPathName().toRawUTF8(), geteuid(), user->pw_gid) == 0)
    {
        chmod (sandbox.getPrefix().getFullPathName().toRawUTF8(), 0770);
        EXPECT_EQ (ov::ProcessLock (location, 0).getState(), State::held);
    }
}
