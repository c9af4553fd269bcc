// Checks plug-in archives before they are embedded, by the installer's own rules (install/ArchiveCheck.h).
// Usage: archive-check ARCHIVE...   Each file's name says its format (vst3.zip, clap.zip, aax.zip).
// Prints one line per archive; exits 1 when any of them would not install and read back as installed.
#include "install/ArchiveCheck.h"

#include <iostream>

int main (int argc, char** argv)
{
    if (argc < 2)
    {
        std::cerr << "usage: archive-check ARCHIVE...\n";
        return 2;
    }

    const auto scratchParent = juce::File::getSpecialLocation (juce::File::tempDirectory);
    auto allGood = true;

    for (int i = 1; i < argc; ++i)
    {
        const auto archive = juce::File::getCurrentWorkingDirectory().getChildFile (juce::String::fromUTF8 (argv[i]));
        const auto result = ov::checkProductArchiveFile (archive, scratchParent);

        if (result.wasOk())
        {
            std::cout << argv[i] << ": installs and reads back as installed\n";
            continue;
        }

        std::cerr << argv[i] << ": " << result.getErrorMessage() << '\n';
        allGood = false;
    }

    return allGood ? 0 : 1;
}
