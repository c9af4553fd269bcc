#include "host/WinePrefix.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <linux/openat2.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <utility>

namespace ov
{

namespace
{

/** A name as one folder entry, never read as a path of its own ("~x" would be a home folder to the framework). */
juce::File childOf (const juce::File& parent, const juce::String& name)
{
    const auto base = parent.getFullPathName();
    return juce::File (base.endsWithChar ('/') ? base + name : base + "/" + name);
}

bool isOneFolderName (const juce::String& name)
{
    return name.isNotEmpty() && name != "." && name != ".." && ! name.containsChar ('/');
}

juce::File resolveLink (const juce::File& link)
{
    const std::unique_ptr<char, decltype (&std::free)> resolved (realpath (link.getFullPathName().toRawUTF8(), nullptr),
                                                                &std::free);
    return resolved != nullptr ? juce::File (juce::String::fromUTF8 (resolved.get())) : juce::File();
}

bool holds (const juce::File& root, const juce::File& folder)
{
    return folder == root || folder.isAChildOf (root);
}

/** A folder held open for looking up the names in it. */
class OpenFolder final
{
public:
    explicit OpenFolder (int descriptor) : fd (descriptor) {}
    OpenFolder (OpenFolder&& other) noexcept : fd (std::exchange (other.fd, -1)) {}

    OpenFolder& operator= (OpenFolder&& other) noexcept
    {
        std::swap (fd, other.fd);
        return *this;
    }

    ~OpenFolder()
    {
        if (fd >= 0)
            close (fd);
    }

    bool isOpen() const     { return fd >= 0; }
    int get() const         { return fd; }

private:
    int fd;

    JUCE_DECLARE_NON_COPYABLE (OpenFolder)
};

/** The folder name leads to from parent, following links but never one of the kernel's magic links
    (/proc/self/cwd and its like, which lead wherever the process stands). */
OpenFolder openFolder (int parent, const char* name)
{
    open_how how {};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_MAGICLINKS;
    const auto fd = (int) syscall (SYS_openat2, parent, name, &how, sizeof (how));

    // Kernels before 5.6 lack the call; the check of each folder's file system is then all there is.
    return OpenFolder (fd >= 0 || errno != ENOSYS ? fd : openat (parent, name, O_PATH | O_DIRECTORY | O_CLOEXEC));
}

/** Whether a folder lies in the kernel's own file systems (procfs, sysfs, the one mounted on /dev), where
    names lead to processes and devices rather than to folders of the prefix. */
bool isSystemFolder (int fd)
{
    struct statfs system {};
    struct stat folder {}, devices {};

    if (fstatfs (fd, &system) != 0 || fstat (fd, &folder) != 0)
        return true;

    return system.f_type == PROC_SUPER_MAGIC || system.f_type == SYSFS_MAGIC
        || (stat ("/dev", &devices) == 0 && devices.st_dev == folder.st_dev);
}

bool isSameFolder (int fd, const std::string& path)
{
    struct stat open {}, named {};
    return fstat (fd, &open) == 0 && stat (path.c_str(), &named) == 0
        && open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

/** Letter case folded as the framework compares names ignoring it. */
void foldCase (const char* utf8, std::string& folded)
{
    folded.clear();

    for (juce::CharPointer_UTF8 p (utf8); ! p.isEmpty();)
    {
        char bytes[8] = {};
        juce::CharPointer_UTF8 (bytes).write (juce::CharacterFunctions::toUpperCase (p.getAndAdvance()));
        folded += bytes;
    }
}

/** Finds entries by name in any letter case, listing each folder once, however often a path passes
    through it (a link back to its own folder, say), and keeping only the entries that a name looked for
    could match. */
class CaseBlindLookup final
{
public:
    explicit CaseBlindLookup (const juce::StringArray& namesLookedFor)
    {
        for (const auto& name : namesLookedFor)
        {
            foldCase (name.toRawUTF8(), folded);
            wanted.insert (folded);
            wantedLengths.insert (name.length());
        }
    }

    /** The first entry of the folder, in the order the system lists them, whose name differs from name
        only in case, as Wine finds it; name itself when there is none. */
    juce::String find (const OpenFolder& folder, const juce::String& name)
    {
        struct stat info {};

        if (fstat (folder.get(), &info) != 0)
            return name;

        const auto [entries, isNew] = listings.try_emplace ({ info.st_dev, info.st_ino });

        if (isNew)
            list (folder, entries->second);

        foldCase (name.toRawUTF8(), folded);
        const auto found = entries->second.find (folded);
        return found != entries->second.end() ? juce::String::fromUTF8 (found->second.c_str()) : name;
    }

private:
    using Listing = std::map<std::string, std::string>;

    void list (const OpenFolder& folder, Listing& listing)
    {
        const auto fd = openat (folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        auto* const stream = fd >= 0 ? fdopendir (fd) : nullptr;

        if (stream == nullptr)
        {
            if (fd >= 0)
                close (fd);

            return;
        }

        while (const auto* entry = readdir (stream))
        {
            // Folding keeps the number of characters: most names are passed over by it alone.
            if (wantedLengths.count ((int) juce::CharPointer_UTF8 (entry->d_name).length()) == 0)
                continue;

            foldCase (entry->d_name, folded);

            if (wanted.count (folded) != 0)
                listing.try_emplace (folded, entry->d_name);
        }

        closedir (stream);
    }

    std::set<std::string> wanted;
    std::set<int> wantedLengths;
    std::map<std::pair<dev_t, ino_t>, Listing> listings;
    std::string folded;
};

/** The folder that names lead to from root, each taken as it exists in any letter case, and as written
    from the first one that does not. Each folder on the way is opened from the one before, so the walk
    costs the length of the path. The empty File when the way passes through the kernel's own file
    systems or a magic link, or when the path as the system reads it (at most 40 links deep) does not lead
    where the walk went. */
juce::File walkDown (const juce::File& root, const juce::StringArray& names)
{
    dev_t device = 0;

    // A folder on the same file system as the one before it needs no second look.
    const auto isSystemFolderOnTheWay = [&device] (const OpenFolder& f)
    {
        struct stat info {};

        if (fstat (f.get(), &info) != 0)
            return true;

        return std::exchange (device, info.st_dev) != info.st_dev && isSystemFolder (f.get());
    };

    auto folder = openFolder (AT_FDCWD, root.getFullPathName().toRawUTF8());

    // Only drive_c may be missing still (a prefix Wine has not yet made), and is then made as written.
    if ((! folder.isOpen() && errno != ENOENT) || (folder.isOpen() && isSystemFolderOnTheWay (folder)))
        return {};

    CaseBlindLookup lookup (names);
    auto path = root.getFullPathName().toStdString();
    auto reached = path;
    auto exists = folder.isOpen();

    for (const auto& name : names)
    {
        auto entry = name;

        if (exists)
        {
            struct stat info {};

            if (fstatat (folder.get(), name.toRawUTF8(), &info, AT_SYMLINK_NOFOLLOW) != 0)
                entry = lookup.find (folder, name);

            auto next = openFolder (folder.get(), entry.toRawUTF8());

            if ((! next.isOpen() && errno == ELOOP) || (next.isOpen() && isSystemFolderOnTheWay (next)))
                return {};

            // Missing, or not a folder: what follows is made, or fails to be, as written.
            exists = next.isOpen();

            if (exists)
                folder = std::move (next);
        }

        path += (path.back() == '/' ? "" : "/") + entry.toStdString();

        if (exists)
            reached = path;
    }

    if (folder.isOpen() && ! isSameFolder (folder.get(), reached))
        return {};

    return juce::File (juce::String::fromUTF8 (path.c_str()));
}

} // namespace

WinePrefix::WinePrefix (const juce::File& prefixFolder, const juce::String& login)
    : folder (prefixFolder), loginName (login)
{
}

WinePrefix WinePrefix::fromEnvironment()
{
    const auto prefix = juce::SystemStats::getEnvironmentVariable ("WINEPREFIX", {});

    if (juce::File::isAbsolutePath (prefix))
        return WinePrefix (juce::File (prefix), getLoginName());

    return WinePrefix (juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".wine"), getLoginName());
}

juce::String WinePrefix::getLoginName()
{
    const auto user = juce::SystemStats::getEnvironmentVariable ("USER", {});

    if (user.isNotEmpty())
        return user;

    if (const auto* account = getpwuid (getuid()))
        return juce::String::fromUTF8 (account->pw_name);

    return {};
}

juce::File WinePrefix::getDriveC() const
{
    return folder.getChildFile ("drive_c");
}

juce::File WinePrefix::getUserProfileFolder() const
{
    if (! isOneFolderName (loginName))
        return {};

    return childOf (getDriveC().getChildFile ("users"), loginName);
}

juce::File WinePrefix::findDrive (juce::juce_wchar letter) const
{
    const auto lower = juce::CharacterFunctions::toLowerCase (letter);
    const auto link = folder.getChildFile ("dosdevices").getChildFile (juce::String::charToString (lower) + ":");

    if (link.isSymbolicLink() || link.exists())
    {
        // A drive whose target is gone (an unplugged disk) is no drive: nothing may be made in its place.
        // Nor is one that leads into the kernel's own file systems, where "self\cwd" is the working folder.
        const auto target = resolveLink (link);
        const auto opened = openFolder (AT_FDCWD, link.getFullPathName().toRawUTF8());

        if (! opened.isOpen() || isSystemFolder (opened.get()) || ! isSameFolder (opened.get(), target.getFullPathName().toStdString()))
            return {};

        for (const auto* system : { "/proc", "/sys", "/dev" })
            if (holds (juce::File (system), target))
                return {};

        return target;
    }

    return lower == 'c' ? getDriveC() : juce::File();
}

juce::File WinePrefix::toFolder (const juce::String& path) const
{
    // "\\server\share", "\\?\C:\..." and "//server/share" name nothing inside a prefix.
    if (path.startsWith ("\\\\") || path.startsWith ("//") || path.startsWith ("/\\") || path.startsWith ("\\/"))
        return {};

    if (path.startsWithChar ('/'))
        return juce::File (path);

    const auto letter = path[0];
    const auto hasDrive = path.length() >= 3
                           && ((letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z'))
                           && path[1] == ':'
                           && (path[2] == '\\' || path[2] == '/');

    if (! hasDrive)
        return {};

    const auto drive = findDrive (letter);

    if (drive == juce::File())
        return {};

    juce::StringArray names;
    names.addTokens (path.substring (3), "\\/", {});
    juce::StringArray kept;

    for (const auto& name : names)
    {
        if (name.isEmpty() || name == ".")
            continue;

        if (name == "..")
            kept.removeRange (kept.size() - 1, 1);
        else
            kept.add (name);
    }

    return walkDown (drive, kept);
}

juce::String WinePrefix::toWindowsPath (const juce::File& target) const
{
    juce::juce_wchar bestLetter = 0;
    juce::File bestRoot;

    const auto consider = [&] (juce::juce_wchar letter, const juce::File& root)
    {
        if (root != juce::File() && holds (root, target)
             && root.getFullPathName().length() > bestRoot.getFullPathName().length())
        {
            bestLetter = letter;
            bestRoot = root;
        }
    };

    consider ('C', getDriveC());

    for (juce::juce_wchar letter = 'A'; letter <= 'Z'; ++letter)
        consider (letter, findDrive (letter));

    if (bestLetter == 0)
        return target.getFullPathName();

    const auto rootPath = bestRoot.getFullPathName();
    const auto below = target.getFullPathName().substring (rootPath.length()).trimCharactersAtStart ("/");
    return juce::String::charToString (bestLetter) + ":\\" + below.replaceCharacter ('/', '\\');
}

} // namespace ov
