// libFuzzer target for the module-version reader; tools/fuzz-pe-version.sh builds and runs it, and the test
// suite replays its corpus through checkInput.
#include "host/PeVersionReader.h"
#include "tests/fuzz/FuzzTarget.h"

std::string ov::fuzz::checkInput (const uint8_t* data, size_t size)
{
    ov::PeMemorySource source (data, size);
    const auto version = ov::readPeFileVersion (source);

    // Anything that is not empty must be four numbers of at most five digits each.
    if (version.empty())
        return {};

    int dots = 0;

    for (const auto c : version)
        if (c == '.')
            ++dots;
        else if (c < '0' || c > '9')
            return "the version \"" + version + "\" holds something other than digits and dots";

    if (dots != 3 || version.size() > 23)
        return "the version \"" + version + "\" is not four numbers, or is too long";

    return {};
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    return ov::fuzz::stopOnProblem (ov::fuzz::checkInput (data, size));
}
