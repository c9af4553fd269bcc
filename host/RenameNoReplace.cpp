#include "host/RenameNoReplace.h"

#if JUCE_WINDOWS
 #include <windows.h>
#else
 #include <cerrno>
 #include <cstdio>
 #include <fcntl.h>
 #include <sys/stat.h>
#endif

namespace ov
{

#if JUCE_WINDOWS

RenameFailure renameNoReplace (const juce::File& source, const juce::File& destination)
{
    // Without MOVEFILE_REPLACE_EXISTING the call refuses an existing destination; with
    // MOVEFILE_WRITE_THROUGH it returns once the move is on the disk.
    if (MoveFileExW (source.getFullPathName().toWideCharPointer(),
                     destination.getFullPathName().toWideCharPointer(), MOVEFILE_WRITE_THROUGH))
        return RenameFailure::none;

    switch (GetLastError())
    {
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:        return RenameFailure::destinationExists;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:     return RenameFailure::inUse;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:      return RenameFailure::accessDenied;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:   return RenameFailure::noSpace;
        default:                       return RenameFailure::other;
    }
}

bool pathIsTaken (const juce::File& path)
{
    return path.getFullPathName().isNotEmpty()
        && GetFileAttributesW (path.getFullPathName().toWideCharPointer()) != INVALID_FILE_ATTRIBUTES;
}

#else

static RenameFailure failureFromErrno (int error)
{
    switch (error)
    {
        case EEXIST:
        case ENOTEMPTY:  return RenameFailure::destinationExists;
        case EBUSY:
        case ETXTBSY:    return RenameFailure::inUse;
        case EPERM:
        case EACCES:
        case EROFS:      return RenameFailure::accessDenied;
        case ENOSPC:
        case EDQUOT:     return RenameFailure::noSpace;
        default:         return RenameFailure::other;
    }
}

RenameFailure renameNoReplace (const juce::File& source, const juce::File& destination)
{
    const auto from = source.getFullPathName().toStdString();
    const auto to = destination.getFullPathName().toStdString();

   #if JUCE_LINUX
    // Plain rename() would silently replace a file or an empty folder at the destination.
    if (renameat2 (AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return RenameFailure::none;

    const auto error = errno;

    // Only a file system without the flag gets the check-then-rename fallback; nothing else of
    // ours runs in that folder meanwhile, so the gap between the two is not a practical risk.
    if (error != EINVAL && error != ENOSYS)
        return failureFromErrno (error);

    if (pathIsTaken (destination))
        return RenameFailure::destinationExists;

    return std::rename (from.c_str(), to.c_str()) == 0 ? RenameFailure::none : failureFromErrno (errno);
   #else
    if (renamex_np (from.c_str(), to.c_str(), RENAME_EXCL) == 0)
        return RenameFailure::none;

    return failureFromErrno (errno);
   #endif
}

bool pathIsTaken (const juce::File& path)
{
    struct stat info;
    return path.getFullPathName().isNotEmpty()
        && lstat (path.getFullPathName().toRawUTF8(), &info) == 0;
}

#endif

} // namespace ov
