#pragma once

// What a fuzz target of this folder offers: its properties checked on one input, so that the fuzzer stops
// on an input that breaks one and the corpus replays name that input and what was wrong.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace ov::fuzz
{

/** Runs the target on the input: empty when every property held, else what was wrong, in plain words. */
std::string checkInput (const uint8_t* data, size_t size);

/** The fuzzer's answer to a check: go on, or stop with what was wrong so that the input is kept. */
inline int stopOnProblem (const std::string& problem)
{
    if (problem.empty())
        return 0;

    std::fprintf (stderr, "%s\n", problem.c_str());
    std::abort();
}

} // namespace ov::fuzz
