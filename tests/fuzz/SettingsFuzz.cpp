// libFuzzer target for the whole read step of the shared settings file: the file's bytes in, the three
// folders out, in a Wine prefix of its own. tools/fuzz-settings.sh builds and runs it; the test suite
// replays its corpus through checkInput.
#include "product/SettingsFile.h"
#include "tests/fuzz/FuzzTarget.h"

namespace
{

/** A throw-away prefix with drives C: and D:, removed when the process ends. */
struct FuzzPrefix
{
    FuzzPrefix()
    {
        root.createDirectory();
        root = juce::File (root.getLinkedTarget().getFullPathName());
        prefix.getChildFile ("drive_c/ProgramData/Orvella").createDirectory();
        prefix.getChildFile ("d-drive").createDirectory();
        prefix.getChildFile ("dosdevices").createDirectory();
        prefix.getChildFile ("dosdevices/c:").createSymbolicLink (prefix.getChildFile ("drive_c"), true);
        prefix.getChildFile ("dosdevices/d:").createSymbolicLink (prefix.getChildFile ("d-drive"), true);
    }

    ~FuzzPrefix()
    {
        root.deleteRecursively();
    }

    /** Everything an input may have made goes, so each input starts from the same prefix. */
    void reset() const
    {
        for (const auto& drive : { prefix.getChildFile ("drive_c"), prefix.getChildFile ("d-drive") })
            for (const auto& entry : drive.findChildFiles (juce::File::findFilesAndDirectories, false))
                if (entry.getFileName() != "ProgramData")
                    entry.deleteRecursively();

        outside.deleteRecursively();
    }

    juce::File root = juce::File::createTempFile ("ov_settings_fuzz");
    juce::File prefix = root.getChildFile ("wine");
    juce::File outside = root.getChildFile ("outside");
};

/** The real translation, except that a Unix path (taken as it stands) is moved into the sandbox. */
class ConfinedHost final : public ov::Host
{
public:
    explicit ConfinedHost (const FuzzPrefix& p)
        : fuzzPrefix (p), system (ov::WinePrefix (p.prefix, "fuzz"))
    {
    }

    juce::File getCommonAppDataFolder() const override          { return system.getCommonAppDataFolder(); }
    juce::String getCommonFilesBase() const override            { return system.getCommonFilesBase(); }
    juce::File getTempFolder() const override                   { return fuzzPrefix.root; }
    juce::File getUserVst3Folder() const override               { return {}; }
    juce::String getLockLocation (const juce::String& name) const override { return system.getLockLocation (name); }
    juce::String getFileVersion (const juce::File&) const override { return {}; }
    bool openUrl (const juce::URL&) const override              { return false; }
    juce::String toSettingsValue (const juce::File& f) const override { return system.toSettingsValue (f); }

    juce::File fromSettingsValue (const juce::String& value) const override
    {
        const auto folder = system.fromSettingsValue (value);

        if (folder == juce::File())
            return folder;

        if (value.startsWithChar ('/'))
            return fuzzPrefix.outside.getChildFile (juce::String::toHexString (value.hashCode64()));

        // A drive path never leads off the prefix's drives, whatever dots or names it holds.
        if (! folder.isAChildOf (fuzzPrefix.prefix))
            escapes.add (value + " leads to " + folder.getFullPathName());

        return folder;
    }

    /** What the step was handed that led off the prefix's drives; each check empties it. */
    mutable juce::StringArray escapes;

private:
    const FuzzPrefix& fuzzPrefix;
    ov::SystemHost system;
};

/** The first thing that the read step of a settings file holding the bytes broke. */
juce::String findProblem (const juce::MemoryBlock& bytes, const juce::File& file, const ConfinedHost& host)
{
    const auto size = bytes.getSize();

    // No bytes means no file (the framework deletes it), and then the step writes one: that is fine too.
    if (! file.replaceWithData (bytes.getData(), size) && size > 0)
        return "the input could not be written as the settings file";

    const auto defaults = ov::SettingsFile::makeDefaultFolders (host.getCommonFilesBase());
    auto folders = defaults;
    ov::SettingsFile::loadOrCreate (file.getParentDirectory(), folders, host);

    if (! host.escapes.isEmpty())
        return "a drive path leads off the prefix's drives: " + host.escapes.joinIntoString ("; ");

    // Each folder is its default or a full path, and the file is never rewritten.
    for (size_t i = 0; i < folders.size(); ++i)
        if (folders[i] != defaults[i] && ! juce::File::isAbsolutePath (folders[i].getFullPathName()))
            return "folder " + juce::String (i) + " is neither its default nor a full path: " + folders[i].getFullPathName();

    juce::MemoryBlock after;

    if (size > 0 && (! file.loadFileAsData (after) || after != bytes))
        return "the settings file was rewritten";

    return {};
}

} // namespace

std::string ov::fuzz::checkInput (const uint8_t* data, size_t size)
{
    static const FuzzPrefix fuzzPrefix;
    static const ConfinedHost host (fuzzPrefix);

    const auto file = host.getCommonAppDataFolder().getChildFile ("Orvella/PluginManagerSettings.txt");

    const auto problem = findProblem (juce::MemoryBlock (data, size), file, host);
    host.escapes.clear();
    fuzzPrefix.reset();
    file.deleteFile();
    return problem.toStdString();
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    return ov::fuzz::stopOnProblem (ov::fuzz::checkInput (data, size));
}
