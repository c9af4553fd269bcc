#include "host/WinePrefix.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

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

/** The entry of parent called name, or failing that the first one whose name differs only in case, as
    Wine finds it; the exact name when there is none yet. */
juce::File findEntry (const juce::File& parent, const juce::String& name)
{
    const auto exact = childOf (parent, name);

    if (exact.exists() || exact.isSymbolicLink() || ! parent.isDirectory())
        return exact;

    for (const auto& entry : juce::RangedDirectoryIterator (parent, false, "*", juce::File::findFilesAndDirectories))
        if (entry.getFile().getFileName().equalsIgnoreCase (name))
            return entry.getFile();

    return exact;
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
        const auto target = resolveLink (link);
        return target.isDirectory() ? target : juce::File();
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

    auto result = findDrive (letter);

    if (result == juce::File())
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

    for (const auto& name : kept)
        result = findEntry (result, name);

    return result;
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
