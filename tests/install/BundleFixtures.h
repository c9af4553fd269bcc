#pragma once

#include "tests/install/ZipMaker.h"

#include <gtest/gtest.h>

#if ! JUCE_WINDOWS
 #include <fcntl.h>
 #include <linux/fs.h>
 #include <sys/ioctl.h>
 #include <unistd.h>
#endif

#include <map>

namespace ov::test
{

/** A folder's contents as snapshot() reads them. */
using Tree = std::map<juce::String, std::string>;

/** A module's bytes: a first line that fake version readers return, then a mix of random and
    repetitive data, so the archive holds both stored-like and well-compressed stretches. */
inline std::string makeModule (const std::string& version, size_t size, juce::int64 seed)
{
    std::string bytes = version + "\n";
    juce::Random random (seed);

    while (bytes.size() < size)
    {
        const auto run = (size_t) random.nextInt (4096) + 1;

        for (size_t i = 0; i < run && bytes.size() < size; ++i)
            bytes.push_back (random.nextBool() ? (char) random.nextInt (256) : 'a');
    }

    return bytes;
}

/** The shape of the product's VST3 archive, with the given module. */
inline ZipMaker makeVst3Archive (const std::string& module)
{
    ZipMaker zip;
    zip.folder ("Tavrin3.vst3\\Contents\\")
       .file ("Tavrin3.vst3\\desktop.ini", "[.ShellClassInfo]\r\nIconResource=Plugin.ico,0\r\n")
       .file ("Tavrin3.vst3\\Plugin.ico", makeModule ("icon", 20367, 7))
       .file ("Tavrin3.vst3\\Contents\\Resources\\moduleinfo.json", "{ \"Version\": \"3.1.10\" }\n")
       .file ("Tavrin3.vst3\\Contents\\x86_64-win\\Tavrin3.vst3", module);
    return zip;
}

inline void write (const juce::File& file, const juce::String& text)
{
    ASSERT_TRUE (file.getParentDirectory().createDirectory());
    ASSERT_TRUE (file.replaceWithText (text));
}

inline std::string toBytes (const juce::MemoryBlock& block)
{
    return { static_cast<const char*> (block.getData()), block.getSize() };
}

/** Everything below a folder, without following links: "a/" for a folder, "a@" -> target for a link,
    "a" -> contents for a file. */
inline Tree snapshot (const juce::File& folder, const juce::String& prefix = {})
{
    Tree tree;

    for (const auto& child : folder.findChildFiles (juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles, false))
    {
        const auto path = prefix + child.getFileName();
        juce::MemoryBlock contents;

        if (child.isSymbolicLink())
        {
            tree[path + "@"] = child.getLinkedTarget().getFullPathName().toStdString();
        }
        else if (child.isDirectory())
        {
            tree[path + "/"] = {};
            tree.merge (snapshot (child, path + "/"));
        }
        else
        {
            child.loadFileAsData (contents);
            tree[path] = toBytes (contents);
        }
    }

    return tree;
}

/** The tree an archive's entries should unpack to, in the form of snapshot(). */
inline Tree expectedTree (const ZipMaker& zip)
{
    Tree tree;

    for (const auto& entry : zip.getEntries())
    {
        const auto path = juce::String (entry.name).replaceCharacter ('\\', '/');
        const auto parts = juce::StringArray::fromTokens (path.trimCharactersAtEnd ("/"), "/", {});

        for (int i = 1; i < parts.size(); ++i)
            tree[parts.joinIntoString ("/", 0, i) + "/"] = {};

        tree[path] = entry.data;
    }

    return tree;
}

/** What a test does when a symbolic link it needs cannot be made: Wine 8 makes none for Windows
    programs, so there the test is skipped; anywhere else it fails. */
#if JUCE_WINDOWS
 #define OV_SKIP_WITHOUT_LINKS_OR_FAIL() GTEST_SKIP() << "this system makes no symbolic links (Wine 8 does not)"
#else
 #define OV_SKIP_WITHOUT_LINKS_OR_FAIL() FAIL() << "the symbolic link was not made"
#endif

/** chattr +i on one path, undone when the guard goes (through the same handle, so it follows renames).
    Windows has no such flag: there it is never applied, and the tests that need it are skipped. */
class ScopedImmutable final
{
public:
   #if JUCE_WINDOWS
    explicit ScopedImmutable (const juce::File&) {}
    bool isApplied() const   { return false; }
   #else
    explicit ScopedImmutable (const juce::File& path)
        : fd (open (path.getFullPathName().toRawUTF8(), O_RDONLY | O_NONBLOCK))
    {
        int flags = 0;
        applied = fd >= 0 && ioctl (fd, FS_IOC_GETFLAGS, &flags) == 0
                  && (flags |= FS_IMMUTABLE_FL, ioctl (fd, FS_IOC_SETFLAGS, &flags) == 0);
    }

    ~ScopedImmutable()
    {
        int flags = 0;

        if (applied && ioctl (fd, FS_IOC_GETFLAGS, &flags) == 0)
        {
            flags &= ~FS_IMMUTABLE_FL;
            ioctl (fd, FS_IOC_SETFLAGS, &flags);
        }

        if (fd >= 0)
            close (fd);
    }

    bool isApplied() const   { return applied; }

private:
    int fd;
    bool applied = false;
   #endif

    JUCE_DECLARE_NON_COPYABLE (ScopedImmutable)
};

} // namespace ov::test
