// libFuzzer target for the module-version reader; tools/fuzz-pe-version.sh builds and runs it.
#include "host/PeVersionReader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    ov::PeMemorySource source (data, size);
    const auto version = ov::readPeFileVersion (source);

    // Anything that is not empty must be four numbers of at most five digits each.
    if (! version.empty())
    {
        int dots = 0;

        for (const auto c : version)
            if (c == '.')
                ++dots;
            else if (c < '0' || c > '9')
                std::abort();

        if (dots != 3 || version.size() > 23)
            std::abort();
    }

    return 0;
}
