#pragma once

#include "install/BundleInstaller.h"
#include "support/Sandbox.h"
#include "tests/install/BundleFixtures.h"

#include <gtest/gtest.h>

namespace ov::test
{

/** One VST3 bundle in a sandbox's install folder, installed from a small archive of the product's shape. */
class BundleInstall : public ::testing::Test
{
protected:
    Sandbox sandbox;
    SandboxHost host { sandbox };
    juce::File folder = sandbox.getCommonFiles().getChildFile ("VST3");
    juce::File bundle = folder.getChildFile ("Tavrin3.vst3");
    ZipMaker newVst3 = makeVst3Archive (makeModule ("3.1.10.0", 300000, 10));

    ov::FormatOutcome install (ZipMaker& zip, bool readsBack = true)    { return install (zip.build(), readsBack); }

    /** The module reads back in the product's version, or in an older one. */
    ov::FormatOutcome install (const juce::MemoryBlock& archive, bool readsBack = true)
    {
        host.versionReader = [readsBack] (const juce::File&) { return juce::String (readsBack ? "3.1.10.0" : "3.1.9.0"); };
        return ov::installBundle ({ bundle, bundle }, archive.getData(), archive.getSize(), "3.1.10", host);
    }

    /** An older bundle with a file the new archive lacks, and a neighbour that is not ours. */
    Tree placeOldBundle()
    {
        write (bundle.getChildFile ("Contents/x86_64-win/Tavrin3.vst3"), "3.1.9.0\nold module");
        bundle.getChildFile ("Contents/Resources/old-only.txt").create();
        write (bundle.getChildFile ("desktop.ini"), "old");
        folder.getChildFile ("Other.vst3/Contents/module").create();
        write (folder.getChildFile ("Tavrin3.vst3.bak"), "the user's");
        return snapshot (folder);
    }

    Tree installedTree (const ZipMaker& zip)
    {
        auto tree = expectedTree (zip);
        tree.insert ({ { "Other.vst3/", {} }, { "Other.vst3/Contents/", {} }, { "Other.vst3/Contents/module", {} },
                       { "Tavrin3.vst3.bak", "the user's" } });
        return tree;
    }

    /** Makes the bundle an old single-file one. */
    juce::File placeOldClapBundle()
    {
        bundle = sandbox.getCommonFiles().getChildFile ("CLAP/Tavrin3.clap");
        write (bundle, "old module");
        return bundle;
    }
};

} // namespace ov::test
