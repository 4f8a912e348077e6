#pragma once

#include "libiconv/TranscodeProc.h"
#include "libiconv/UnicodeFormNames.h"

namespace lmviconv {

// The converter for a pair of forms whose byte order is known (not the plain UTF-16 and UTF-32),
// with the widest blocks the processor has.
TTranscodeProc FindTranscoder(TUnicodeForm From, TUnicodeForm To);

// The same with the block code named: "avx512" (AVX-512 BW, VBMI and VBMI2) or "avx2", each only
// where the processor has it, or "sse2".
TTranscodeProc FindTranscoder(TUnicodeForm From, TUnicodeForm To, const char* Blocks);

// The legacy converter between these tables' encoding and a Unicode form; LegacySource: the
// legacy encoding is the source.
TLegacyProc FindLegacyTranscoder(bool LegacySource, TUnicodeForm Unicode);
TLegacyProc FindLegacyTranscoder(bool LegacySource, TUnicodeForm Unicode, const char* Blocks);

// Which block code the first FindTranscoder hands out on this processor: "avx512", "avx2" or
// "sse2".
const char* TranscoderBlocks();

} // namespace lmviconv
