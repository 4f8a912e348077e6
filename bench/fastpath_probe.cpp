// Prints which block code the conversion library's fast path picks on this processor (avx512,
// avx2 or sse2), for bench/compare.py to note beside the figures.
#include "libiconv/FastTranscoder.h"

#include <cstdio>

int main()
{
    std::puts(lmviconv::TranscoderBlocks());
    return 0;
}
