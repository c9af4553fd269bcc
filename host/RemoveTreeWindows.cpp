// The removal walk on Windows: reparse points are removed, never entered.
#include "host/RemoveTree.h"
#include "host/RenameNoReplace.h"

#include <windows.h>

#include <vector>

namespace ov
{

namespace
{
    bool isSelfOrParent (const juce::String& name)
    {
        return name == "." || name == "..";
    }
}

namespace
{
    // The long form passes names through untouched: without it Windows drops trailing dots and blanks,
    // so a file named "..." could be neither opened nor deleted.
    juce::String longForm (const juce::String& path)
    {
        return path.startsWith ("\\\\") ? "\\\\?\\UNC\\" + path.substring (2) : "\\\\?\\" + path;
    }

    bool isFolderToEnter (DWORD attributes)
    {
        // A junction, folder link or mounted volume is a reparse point: removed itself, never entered.
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    }

    void removeEntry (const juce::String& path, DWORD attributes)
    {
        const auto remove = [&]
        {
            return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? RemoveDirectoryW (path.toWideCharPointer())
                                                                : DeleteFileW (path.toWideCharPointer());
        };

        // Windows deletes nothing marked read-only, and a bundle's desktop.ini and its folder usually are.
        if (! remove() && (attributes & FILE_ATTRIBUTE_READONLY) != 0
            && SetFileAttributesW (path.toWideCharPointer(), attributes & ~(DWORD) FILE_ATTRIBUTE_READONLY))
            remove();
    }

    /** Depth-first with a stack of its own rather than the thread's, one search handle per level. */
    void removeLongForm (const juce::String& root)
    {
        const auto rootAttributes = GetFileAttributesW (root.toWideCharPointer());

        if (rootAttributes == INVALID_FILE_ATTRIBUTES || ! isFolderToEnter (rootAttributes))
        {
            if (rootAttributes != INVALID_FILE_ATTRIBUTES)
                removeEntry (root, rootAttributes);

            return;
        }

        struct Level
        {
            HANDLE search;
            int pathLength;
        };

        auto path = root;
        std::vector<Level> levels { { INVALID_HANDLE_VALUE, path.length() } };

        while (! levels.empty())
        {
            auto& level = levels.back();
            WIN32_FIND_DATAW found;
            auto gotOne = false;

            if (level.search == INVALID_HANDLE_VALUE)
            {
                level.search = FindFirstFileW ((path + "\\*").toWideCharPointer(), &found);
                gotOne = level.search != INVALID_HANDLE_VALUE;
            }
            else
            {
                gotOne = FindNextFileW (level.search, &found) != 0;
            }

            if (! gotOne)
            {
                if (level.search != INVALID_HANDLE_VALUE)
                    FindClose (level.search);

                levels.pop_back();
                const auto attributes = GetFileAttributesW (path.toWideCharPointer());
                removeEntry (path, attributes == INVALID_FILE_ATTRIBUTES ? (DWORD) FILE_ATTRIBUTE_DIRECTORY : attributes);
                path = path.substring (0, levels.empty() ? 0 : levels.back().pathLength);
                continue;
            }

            const juce::String name (found.cFileName);

            if (isSelfOrParent (name))
                continue;

            const auto child = path + "\\" + name;

            if (isFolderToEnter (found.dwFileAttributes))
            {
                path = child;
                levels.push_back ({ INVALID_HANDLE_VALUE, path.length() });
            }
            else
            {
                removeEntry (child, found.dwFileAttributes);
            }
        }
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

} // namespace ov
