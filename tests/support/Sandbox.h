#pragma once

#include "host/Host.h"
#include "host/PeVersionReader.h"

#include <juce_core/juce_core.h>

#include <functional>
#include <memory>

#include <sys/stat.h>

namespace ov::test
{

/** A fresh folder that stands for a machine's Windows drive, inside one that stands for the Wine prefix:
    the user's alone, it holds the installer's lock. Removed with everything in it. */
class Sandbox final
{
public:
    Sandbox()
        : Sandbox (juce::File::getSpecialLocation (juce::File::tempDirectory))
    {
    }

    /** In the given folder rather than the system's temporary folder. */
    explicit Sandbox (const juce::File& parent)
        : prefix (parent.getNonexistentChildFile ("ov_sandbox" + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64()), {}, false)),
          root (prefix.getChildFile ("drive_c"))
    {
        root.createDirectory();
        chmod (prefix.getFullPathName().toRawUTF8(), 0700);
    }

    ~Sandbox()
    {
        prefix.deleteRecursively();
    }

    const juce::File& getPrefix() const             { return prefix; }

    const juce::File& getRoot() const               { return root; }
    juce::File getCommonAppData() const             { return root.getChildFile ("ProgramData"); }
    juce::File getCommonFiles() const               { return root.getChildFile ("Program Files/Common Files"); }
    juce::File getTemp() const                      { return root.getChildFile ("Temp"); }
    juce::File getUserVst3() const                  { return root.getChildFile ("users/me/AppData/Local/Programs/Common/VST3"); }
    juce::File getMakerFolder() const               { return getCommonAppData().getChildFile ("Orvella"); }
    juce::File getSettingsFile() const              { return getMakerFolder().getChildFile ("PluginManagerSettings.txt"); }

private:
    juce::File prefix, root;

    JUCE_DECLARE_NON_COPYABLE (Sandbox)
};

/** The system calls pointed at a sandbox; links are recorded instead of opened. */
class SandboxHost final : public Host
{
public:
    explicit SandboxHost (const Sandbox& sandbox)
        : appData (sandbox.getCommonAppData()),
          commonFiles (sandbox.getCommonFiles().getFullPathName()),
          temp (sandbox.getTemp()),
          userVst3 (sandbox.getUserVst3()),
          lockFolder (sandbox.getPrefix())
    {
    }

    juce::File getCommonAppDataFolder() const override              { return appData; }
    juce::String getCommonFilesBase() const override                { return commonFiles; }
    juce::File getTempFolder() const override                       { return temp; }
    juce::File getUserVst3Folder() const override                   { return userVst3; }

    juce::String getFileVersion (const juce::File& module) const override
    {
        return versionReader != nullptr ? versionReader (module)
                                        : juce::String (readPeFileVersion (module.getFullPathName().toStdString()));
    }

    bool openUrl (const juce::URL& url) const override
    {
        openedUrls->add (url.toString (true));
        return true;
    }

    // Sandboxes are machines of their own: tests that run side by side never wait for each other.
    juce::String getLockLocation (const juce::String& name) const override
    {
       #if JUCE_WINDOWS
        // A named mutex, whose name holds no separator after its namespace.
        return "Local\\" + name + "." + juce::String::toHexString (lockFolder.getFullPathName().hashCode64());
       #else
        return lockFolder.getChildFile (name + ".lock").getFullPathName();
       #endif
    }

    juce::File appData;
    juce::String commonFiles;
    juce::File temp;
    juce::File userVst3;
    juce::File lockFolder;
    std::function<juce::String (const juce::File&)> versionReader;
    std::shared_ptr<juce::StringArray> openedUrls = std::make_shared<juce::StringArray>();
};

} // namespace ov::test
