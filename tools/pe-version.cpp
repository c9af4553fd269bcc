// Prints each module's file version as the install-state probe reads it: path, a tab, the version
// (nothing after the tab when there is none). Always exits 0, like the probe it mirrors never fails.
#include "host/PeVersionReader.h"

#include <iostream>

int main (int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        std::cout << argv[i] << '\t' << ov::readPeFileVersion (argv[i]) << '\n';

    return 0;
}
