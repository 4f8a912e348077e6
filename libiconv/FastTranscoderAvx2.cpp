// The converters with AVX2 blocks. FindTranscoder calls into this unit only when the processor
// has AVX2.
#include "libiconv/Avx2Blocks.h"

namespace lmviconv {

TTranscodeProc FindAvx2Transcoder(TUnicodeForm From, TUnicodeForm To)
{
    return TranscoderFor<TAvx2Blocks>(From, To);
}

} // namespace lmviconv
