// The converters with AVX2 blocks. FindTranscoder calls into this unit only when the processor
// has AVX2.
#include "libiconv/Avx2Blocks.h"
#include "libiconv/LegacyLoop.h"

namespace lmviconv {

TTranscodeProc FindAvx2Transcoder(TUnicodeForm From, TUnicodeForm To)
{
    return TranscoderFor<TAvx2Blocks>(From, To);
}

TLegacyProc FindAvx2LegacyTranscoder(bool LegacySource, TUnicodeForm Unicode)
{
    return LegacyTranscoderFor<TAvx2Blocks>(LegacySource, Unicode);
}

} // namespace lmviconv
