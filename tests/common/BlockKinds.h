#pragma once

// The fast path's block kinds this processor runs: its own and every narrower one, narrowest
// first. Header-only, for the tests that build the fast path's sources in.

#include "libiconv/FastTranscoder.h"

#include <string>
#include <vector>

namespace lmvtest {

inline std::vector<const char*> BlockKinds()
{
    std::vector<const char*> kinds = {"sse2", "avx2", "avx512"};
    const std::string best = lmviconv::TranscoderBlocks();
    while (kinds.back() != best)
        kinds.pop_back();
    return kinds;
}

} // namespace lmvtest
