#pragma once

#if defined(__x86_64__)
// Whether the processor runs AVX2, asked once a process: the detector's block scans and sums take
// their AVX2 forms then, and their plain forms otherwise.
inline bool HasAvx2()
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}
#endif
