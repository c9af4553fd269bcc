#include "host/FlushToDisk.h"
#include "host/RemoveTree.h"

#if JUCE_WINDOWS
 #include <windows.h>
#else
 #include <cerrno>
 #include <fcntl.h>
 #include <sys/stat.h>
 #include <unistd.h>
#endif

namespace ov
{

#if JUCE_WINDOWS

bool flushToDisk (const juce::File& fileOrFolder)
{
    const auto path = fileOrFolder.getFullPathName();
    const auto attributes = GetFileAttributesW (path.toWideCharPointer());

    // NTFS journals changes to folders, and our moves are made with MOVEFILE_WRITE_THROUGH: only the
    // data of files waits in the cache.
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
        return attributes != INVALID_FILE_ATTRIBUTES;

    // FlushFileBuffers needs a handle that may write.
    const auto handle = CreateFileW (path.toWideCharPointer(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);

    if (handle == INVALID_HANDLE_VALUE)
        return false;

    const auto flushed = FlushFileBuffers (handle) != 0;
    CloseHandle (handle);
    return flushed;
}

#else

bool flushToDisk (const juce::File& fileOrFolder)
{
    const auto* path = fileOrFolder.getFullPathName().toRawUTF8();
    struct stat info;

    if (lstat (path, &info) != 0)
        return false;

    // A link's name is flushed with its folder; pipes and devices hold no data of ours.
    if (! S_ISREG (info.st_mode) && ! S_ISDIR (info.st_mode))
        return true;

    const auto fd = open (path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);

    if (fd < 0)
        return false;

    const auto flushed = fsync (fd) == 0 || errno == EINVAL || errno == EROFS;
    close (fd);
    return flushed;
}

#endif

bool flushTreeToDisk (const juce::File& folder)
{
    juce::Array<juce::File> pending { folder };
    auto allFlushed = true;

    while (! pending.isEmpty())
    {
        const auto item = pending.removeAndReturn (pending.size() - 1);

        if (! item.isSymbolicLink())
            for (const auto& name : listFolder (item))
                pending.add (juce::File (item.getFullPathName() + juce::File::getSeparatorString() + name));

        allFlushed = flushToDisk (item) && allFlushed;
    }

    return allFlushed;
}

} // namespace ov
