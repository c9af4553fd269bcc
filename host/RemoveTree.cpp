// The removal walk on POSIX systems: file-descriptor-relative, never following a link or entering a mount.
#include "host/RemoveTree.h"
#include "host/RenameNoReplace.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if JUCE_LINUX
 #include <sys/sysmacros.h>
#endif

#include <algorithm>
#include <optional>
#include <string>
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
    /** Where a folder lies. A mount point differs from the folder holding it in its device, or, for a
        folder of the same file system mounted a second time, in its mount id. */
    struct FolderIdentity
    {
        dev_t device = 0;
        ino_t inode = 0;
        uint64_t mount = 0;   // 0 where the system cannot tell (before Linux 5.8, or not Linux)

        bool isOnSameMount (const FolderIdentity& other) const   { return device == other.device && mount == other.mount; }
        bool isSameFolder (const FolderIdentity& other) const    { return isOnSameMount (other) && inode == other.inode; }
    };

    /** Asked of the open folder itself, so that nothing can be swapped in between. */
    std::optional<FolderIdentity> identify (int folderFd)
    {
       #if JUCE_LINUX
        struct statx info {};

        if (statx (folderFd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_INO | STATX_MNT_ID, &info) != 0
             || ! S_ISDIR (info.stx_mode))
            return {};

        return FolderIdentity { makedev (info.stx_dev_major, info.stx_dev_minor), (ino_t) info.stx_ino,
                                (info.stx_mask & STATX_MNT_ID) != 0 ? (uint64_t) info.stx_mnt_id : 0 };
       #else
        struct stat info;

        if (fstat (folderFd, &info) != 0 || ! S_ISDIR (info.st_mode))
            return {};

        return FolderIdentity { info.st_dev, info.st_ino, 0 };
       #endif
    }

    /** A folder to empty: its name in the folder above, what it was when entered, and its listing while
        open. Only the deepest levels keep their listings open; a level whose listing was closed is opened
        again through ".." of the level below, checked to be the folder it was, and listed from the start,
        skipping the names already found to stay. */
    struct Level
    {
        std::string name;
        FolderIdentity identity;
        DIR* listing = nullptr;
        std::vector<std::string> staying;
    };

    // Bounds the descriptors the walk holds whatever the depth; past it, going back up costs a reopen.
    constexpr size_t maxOpenListings = 32;

    class TreeEmptier final
    {
    public:
        /** Takes over folderFd. */
        TreeEmptier (int folderFd, const FolderIdentity& identity)
        {
            if (auto* const listing = fdopendir (folderFd))
                levels.push_back ({ {}, identity, listing, {} });
            else
                close (folderFd);
        }

        ~TreeEmptier()
        {
            for (auto& level : levels)
                if (level.listing != nullptr)
                    closedir (level.listing);
        }

        void run()
        {
            while (! levels.empty())
            {
                const auto* entry = readdir (levels.back().listing);

                if (entry == nullptr)
                {
                    if (! leaveDeepest())
                        return;
                }
                else if (! isSelfOrParent (entry->d_name) && ! isStaying (levels.back(), entry->d_name))
                {
                    removeEntry (entry->d_name);
                }
            }
        }

    private:
        std::vector<Level> levels;
        size_t shallowestOpen = 0;   // the open listings are those of levels shallowestOpen and below

        static bool isStaying (const Level& level, const char* name)
        {
            return std::find (level.staying.begin(), level.staying.end(), name) != level.staying.end();
        }

        int deepestFd() const   { return dirfd (levels.back().listing); }

        void removeEntry (const std::string& name)
        {
            auto& level = levels.back();
            struct stat info;

            if (fstatat (deepestFd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            {
                if (errno != ENOENT)
                    level.staying.push_back (name);

                return;
            }

            if (! S_ISDIR (info.st_mode))
            {
                if (unlinkat (deepestFd(), name.c_str(), 0) != 0)
                    level.staying.push_back (name);

                return;
            }

            // Never through a link: a folder swapped for one meanwhile fails to open.
            const auto childFd = openat (deepestFd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            const auto identity = childFd >= 0 ? identify (childFd) : std::nullopt;
            auto* const listing = identity && identity->isOnSameMount (level.identity) ? fdopendir (childFd) : nullptr;

            if (listing == nullptr)
            {
                if (childFd >= 0)
                    close (childFd);

                // An empty folder goes even when it cannot be read; the system never removes a mount point.
                if (unlinkat (deepestFd(), name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT)
                    level.staying.push_back (name);

                return;
            }

            levels.push_back ({ name, *identity, listing, {} });

            if (levels.size() - shallowestOpen > maxOpenListings)
            {
                closedir (levels[shallowestOpen].listing);
                levels[shallowestOpen++].listing = nullptr;
            }
        }

        /** Closes the emptied deepest level and removes it from its parent, reopening the parent when its
            listing was closed. False when the parent is not the folder it was: someone moved things, and
            the walk stops rather than work anywhere else. */
        bool leaveDeepest()
        {
            if (levels.size() == 1)
            {
                closedir (levels.back().listing);
                levels.pop_back();
                return true;
            }

            auto& parent = levels[levels.size() - 2];

            if (parent.listing == nullptr)
            {
                const auto parentFd = openat (deepestFd(), "..", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                const auto identity = parentFd >= 0 ? identify (parentFd) : std::nullopt;
                parent.listing = identity && identity->isSameFolder (parent.identity) ? fdopendir (parentFd) : nullptr;

                if (parent.listing == nullptr)
                {
                    if (parentFd >= 0)
                        close (parentFd);

                    return false;
                }

                shallowestOpen = levels.size() - 2;
            }

            const auto name = std::move (levels.back().name);
            closedir (levels.back().listing);
            levels.pop_back();

            if (unlinkat (deepestFd(), name.c_str(), AT_REMOVEDIR) != 0)
                levels.back().staying.push_back (name);

            return true;
        }

        JUCE_DECLARE_NON_COPYABLE (TreeEmptier)
    };
}

bool removeTree (const juce::File& path)
{
    const auto name = path.getFileName().toStdString();

    if (path.getFullPathName().isEmpty() || name.empty())
        return false;

    // Everything is removed relative to the folder holding the path, whose mount the walk never leaves.
    const auto parentFd = open (path.getParentDirectory().getFullPathName().toRawUTF8(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);

    if (parentFd < 0)
        return errno == ENOENT;

    struct stat info;
    const auto parentIdentity = identify (parentFd);

    if (fstatat (parentFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
    {
        const auto absent = errno == ENOENT;
        close (parentFd);
        return absent;
    }

    if (S_ISDIR (info.st_mode))
    {
        const auto folderFd = openat (parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const auto identity = folderFd >= 0 ? identify (folderFd) : std::nullopt;

        if (identity && parentIdentity && identity->isOnSameMount (*parentIdentity))
            TreeEmptier (folderFd, *identity).run();
        else if (folderFd >= 0)
            close (folderFd);

        unlinkat (parentFd, name.c_str(), AT_REMOVEDIR);
    }
    else
    {
        unlinkat (parentFd, name.c_str(), 0);
    }

    const auto gone = fstatat (parentFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
    close (parentFd);
    return gone;
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

} // namespace ov
