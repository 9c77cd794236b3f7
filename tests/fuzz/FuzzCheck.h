#pragma once

#include <cstdlib>

// A broken promise ends the run, so libFuzzer keeps the input that broke it.
inline void check(bool condition)
{
    if (!condition)
        std::abort();
}
