#include "host/RemoveTree.h"
#include "host/RenameNoReplace.h"

#if JUCE_WINDOWS
 #include <windows.h>
#else
 #include <cerrno>
 #include <dirent.h>
 #include <fcntl.h>
 #include <sys/stat.h>
 #include <unistd.h>
#endif

namespace ov
{

namespace
{
    bool isSelfOrParent (const juce::String& name)
    {
        return name == "." || name == "..";
    }
}

#if JUCE_WINDOWS

namespace
{
    // The long form passes names through untouched: without it Windows drops trailing dots and blanks,
    // so a file named "..." could be neither opened nor deleted.
    juce::String longForm (const juce::String& path)
    {
        return path.startsWith ("\\\\") ? "\\\\?\\UNC\\" + path.substring (2) : "\\\\?\\" + path;
    }

    bool removeLongForm (const juce::String& path)
    {
        const auto attributes = GetFileAttributesW (path.toWideCharPointer());

        if (attributes == INVALID_FILE_ATTRIBUTES)
            return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;

        const auto isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;

        // A junction or folder link is removed itself; what it points to is never entered.
        if (isFolder && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        {
            WIN32_FIND_DATAW found;
            const auto search = FindFirstFileW ((path + "\\*").toWideCharPointer(), &found);

            if (search != INVALID_HANDLE_VALUE)
            {
                do
                {
                    const juce::String name (found.cFileName);

                    if (! isSelfOrParent (name))
                        removeLongForm (path + "\\" + name);
                }
                while (FindNextFileW (search, &found));

                FindClose (search);
            }
        }

        return isFolder ? RemoveDirectoryW (path.toWideCharPointer()) != 0
                        : DeleteFileW (path.toWideCharPointer()) != 0;
    }
}

bool removeTree (const juce::File& path)
{
    if (path.getFullPathName().isEmpty())
        return false;

    removeLongForm (longForm (path.getFullPathName()));
    return ! pathIsTaken (path);
}

juce::StringArray listFolder (const juce::File& folder)
{
    juce::StringArray names;
    WIN32_FIND_DATAW found;
    const auto search = FindFirstFileW ((longForm (folder.getFullPathName()) + "\\*").toWideCharPointer(), &found);

    if (search == INVALID_HANDLE_VALUE)
        return names;

    do
    {
        const juce::String name (found.cFileName);

        if (! isSelfOrParent (name))
            names.add (name);
    }
    while (FindNextFileW (search, &found));

    FindClose (search);
    return names;
}

#else

namespace
{
    /** Empties the folder open at folderFd, each entry relative to its folder's handle, so that a folder
        swapped for a link while we work is never entered. Takes over the handle. */
    void emptyFolder (int folderFd)
    {
        auto* const folder = fdopendir (folderFd);

        if (folder == nullptr)
        {
            close (folderFd);
            return;
        }

        while (const auto* entry = readdir (folder))
        {
            const auto* name = entry->d_name;

            if (isSelfOrParent (name))
                continue;

            struct stat info;

            if (fstatat (folderFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue;

            if (S_ISDIR (info.st_mode))
            {
                const auto childFd = openat (folderFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);

                if (childFd >= 0)
                    emptyFolder (childFd);

                unlinkat (folderFd, name, AT_REMOVEDIR);
            }
            else
            {
                unlinkat (folderFd, name, 0);
            }
        }

        closedir (folder);
    }
}

bool removeTree (const juce::File& path)
{
    const auto name = path.getFullPathName();
    struct stat info;

    if (name.isEmpty())
        return false;

    if (lstat (name.toRawUTF8(), &info) != 0)
        return errno == ENOENT;

    if (S_ISDIR (info.st_mode))
    {
        const auto folderFd = open (name.toRawUTF8(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);

        if (folderFd >= 0)
            emptyFolder (folderFd);

        rmdir (name.toRawUTF8());
    }
    else
    {
        unlink (name.toRawUTF8());
    }

    return ! pathIsTaken (path);
}

juce::StringArray listFolder (const juce::File& folder)
{
    juce::StringArray names;

    if (auto* const listing = opendir (folder.getFullPathName().toRawUTF8()))
    {
        while (const auto* entry = readdir (listing))
            if (! isSelfOrParent (entry->d_name))
                names.add (juce::CharPointer_UTF8 (entry->d_name));

        closedir (listing);
    }

    return names;
}

#endif

} // namespace ov
