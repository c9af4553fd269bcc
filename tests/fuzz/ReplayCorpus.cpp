// Runs a fuzz target once over every input in the folders given, under the sanitizers it is built with, and
// names each input that breaks a property, and the one a sanitizer stops on. Ends with the counts.
#include "tests/fuzz/FuzzTarget.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

// Every report of ASan and UBSan ends in abort(), whose handler below names the input.
extern "C" const char* __asan_default_options()     { return "abort_on_error=1"; }
extern "C" const char* __ubsan_default_options()    { return "abort_on_error=1:print_stacktrace=1"; }

namespace
{

/** The line that names the input under way, written by the abort handler; empty between inputs. */
struct InputUnderWay
{
    char line[4096] {};
    size_t length = 0;
};

InputUnderWay& inputUnderWay()
{
    static InputUnderWay input;
    return input;
}

void nameInputUnderWay (int)
{
    // Only calls that are safe in a signal handler; abort() ends the process once this returns.
    [[maybe_unused]] const auto written = write (STDERR_FILENO, inputUnderWay().line, inputUnderWay().length);
}

void setInputUnderWay (const std::string& path)
{
    auto& input = inputUnderWay();
    const auto line = path.empty() ? std::string() : "while replaying " + path + "\n";
    input.length = std::min (line.size(), sizeof (input.line));
    std::memcpy (input.line, line.data(), input.length);
}

std::vector<uint8_t> load (const fs::path& file)
{
    std::ifstream stream (file, std::ios::binary);
    return { std::istreambuf_iterator<char> (stream), std::istreambuf_iterator<char>() };
}

} // namespace

int main (int argc, char** argv)
{
    std::signal (SIGABRT, nameInputUnderWay);
    std::vector<fs::path> inputs;

    for (int i = 1; i < argc; ++i)
        for (const auto& entry : fs::directory_iterator (argv[i]))
            if (entry.is_regular_file())
                inputs.push_back (entry.path());

    std::sort (inputs.begin(), inputs.end());
    size_t failed = 0;

    for (const auto& input : inputs)
    {
        setInputUnderWay (input.string());
        const auto bytes = load (input);
        const auto problem = ov::fuzz::checkInput (bytes.data(), bytes.size());

        if (! problem.empty())
        {
            std::cout << "FAILED " << input.string() << ": " << problem << std::endl;
            ++failed;
        }
    }

    // A leak is found only as the process ends, and belongs to no one input.
    setInputUnderWay ({});
    std::cout << (inputs.size() - failed) << " passed, " << failed << " failed" << std::endl;
    return inputs.empty() || failed > 0 ? 1 : 0;
}
