#include "support/FileCallLog.h"

#include <cerrno>
#include <string>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace
{
    // The C library calls below have no other way to find the log.
    ov::test::FileCallLog* activeLog = nullptr;

    juce::String pathOfFd (int fd)
    {
        char path[4096] = {};
        const auto length = readlink (("/proc/self/fd/" + std::to_string (fd)).c_str(), path, sizeof (path) - 1);
        return length > 0 ? juce::String (juce::CharPointer_UTF8 (path)) : juce::String();
    }

    juce::String pathOf (int dirFd, const char* path)
    {
        return path[0] == '/' || dirFd == AT_FDCWD ? juce::String (juce::CharPointer_UTF8 (path))
                                                   : pathOfFd (dirFd) + "/" + juce::String (juce::CharPointer_UTF8 (path));
    }
}

namespace ov::test
{

FileCallLog::FileCallLog()     { activeLog = this; }
FileCallLog::~FileCallLog()    { activeLog = nullptr; }

} // namespace ov::test

extern "C" int fsync (int fd)
{
    const auto result = (int) syscall (SYS_fsync, fd);
    const auto error = errno;

    if (activeLog != nullptr)
        activeLog->calls.add ("flush " + pathOfFd (fd));

    errno = error;
    return result;
}

extern "C" int renameat2 (int oldDirFd, const char* oldPath, int newDirFd, const char* newPath, unsigned int flags) noexcept
{
    const auto result = (int) syscall (SYS_renameat2, oldDirFd, oldPath, newDirFd, newPath, flags);
    const auto error = errno;

    if (activeLog != nullptr)
    {
        const auto from = pathOf (oldDirFd, oldPath), to = pathOf (newDirFd, newPath);
        activeLog->calls.add ("rename " + from + " -> " + to);

        if (result == 0 && activeLog->afterRename != nullptr)
            activeLog->afterRename (from, to);
    }

    errno = error;
    return result;
}
