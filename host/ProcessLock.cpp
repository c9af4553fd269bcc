#include "host/ProcessLock.h"

#if JUCE_WINDOWS
 #include <windows.h>
#else
 #include <fcntl.h>
 #include <grp.h>
 #include <pwd.h>
 #include <sys/file.h>
 #include <sys/stat.h>
 #include <unistd.h>

 #include <cerrno>
 #include <chrono>
 #include <cstring>
 #include <thread>
#endif

namespace ov
{

#if JUCE_WINDOWS

ProcessLock::ProcessLock (const juce::String& location, int waitMilliseconds)
    : mutex (CreateMutexW (nullptr, FALSE, location.toWideCharPointer()))
{
    // No handle: for instance a mutex of that name made by someone who does not let us open it.
    if (mutex == nullptr)
        return;

    switch (WaitForSingleObject (static_cast<HANDLE> (mutex), (DWORD) juce::jmax (0, waitMilliseconds)))
    {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:    // its holder was killed; what that run left is for recovery to mend
            state = State::held;
            return;

        case WAIT_TIMEOUT:
            state = State::heldByAnother;
            break;

        default:
            break;
    }

    CloseHandle (static_cast<HANDLE> (mutex));
    mutex = nullptr;
}

ProcessLock::~ProcessLock()
{
    // Only a held lock keeps its handle.
    if (mutex != nullptr)
    {
        ReleaseMutex (static_cast<HANDLE> (mutex));
        CloseHandle (static_cast<HANDLE> (mutex));
    }
}

#else

namespace
{

/** Whether the group is the user's own: named after the user, the user's primary group, with no other
    members listed. Systems that give each user such a group let it write to the user's new folders. */
bool isUsersOwnGroup (gid_t gid)
{
    const auto* user = getpwuid (geteuid());
    const auto* group = getgrgid (gid);

    if (user == nullptr || group == nullptr || user->pw_gid != gid || std::strcmp (user->pw_name, group->gr_name) != 0)
        return false;

    for (auto** member = group->gr_mem; *member != nullptr; ++member)
        if (std::strcmp (*member, user->pw_name) != 0)
            return false;

    return true;
}

/** The folder, opened without following a link, when only the user who runs us can change it: it is
    this user's, others may not write to it, and its group only when that is the user's own; else -1. */
int openOwnFolder (const juce::File& path)
{
    const auto fd = open (path.getFullPathName().toRawUTF8(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};

    if (fd >= 0 && fstat (fd, &info) == 0 && S_ISDIR (info.st_mode) && info.st_uid == geteuid()
         && (info.st_mode & S_IWOTH) == 0 && ((info.st_mode & S_IWGRP) == 0 || isUsersOwnGroup (info.st_gid)))
        return fd;

    if (fd >= 0)
        close (fd);

    return -1;
}

/** The lock file, opened or made in the folder without following a link, when it is a plain file of this
    user's with no other name; else -1. */
int openLockFile (int folder, const char* name)
{
    const auto fd = openat (folder, name, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    struct stat info {};

    if (fd >= 0 && fstat (fd, &info) == 0 && S_ISREG (info.st_mode) && info.st_uid == geteuid() && info.st_nlink <= 1)
        return fd;

    if (fd >= 0)
        close (fd);

    return -1;
}

/** Takes the write lock on the file, trying again until the deadline while another process holds it:
    0, or the error of the last try. */
int waitForLock (int file, std::chrono::steady_clock::time_point deadline)
{
    for (;;)
    {
        if (flock (file, LOCK_EX | LOCK_NB) == 0)
            return 0;

        const auto error = errno;

        if (error != EWOULDBLOCK && error != EINTR)
            return error;

        if (std::chrono::steady_clock::now() >= deadline)
            return EWOULDBLOCK;

        std::this_thread::sleep_for (std::chrono::milliseconds (10));
    }
}

/** Whether the name still leads to the file. A holder removes its file as it lets go, and a lock on a
    removed file excludes no one. */
bool isStillNamed (int folder, const char* name, int file)
{
    struct stat named {}, opened {};
    return fstatat (folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && fstat (file, &opened) == 0
           && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

} // namespace

ProcessLock::ProcessLock (const juce::String& location, int waitMilliseconds)
    : folder (openOwnFolder (juce::File (location).getParentDirectory())),
      fileName (juce::File (location).getFileName().toStdString())
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (juce::jmax (0, waitMilliseconds));

    while (folder >= 0 && (file = openLockFile (folder, fileName.c_str())) >= 0)
    {
        const auto error = waitForLock (file, deadline);

        if (error == 0 && isStillNamed (folder, fileName.c_str(), file))
        {
            state = State::held;
            return;
        }

        close (file);
        file = -1;

        if (error != 0)
        {
            state = error == EWOULDBLOCK ? State::heldByAnother : State::unavailable;
            break;
        }
    }

    if (folder >= 0)
        close (folder);

    folder = -1;
}

ProcessLock::~ProcessLock()
{
    // Only a held lock keeps its file. The name goes before the lock, so that no one who comes later
    // locks a file that stays.
    if (file >= 0)
    {
        unlinkat (folder, fileName.c_str(), 0);
        close (file);
        close (folder);
    }
}

#endif

} // namespace ov
