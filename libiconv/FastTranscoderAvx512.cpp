// The AVX-512 blocks: the AVX2 ones, with Latin-1 to and from UTF-8 done by the byte compress
// of AVX-512 VBMI2, which packs 64 bytes by a mask in one step where AVX2 needs a table shuffle
// for every eight. FindTranscoder calls into this unit only when the processor has it.
#include "libiconv/Avx2Blocks.h"

#define LUMIVA_AVX512 __attribute__((target("avx2,bmi2,avx512f,avx512bw,avx512vbmi2")))

namespace lmviconv {

namespace {

struct TAvx512Blocks : TAvx2Blocks {
    // Thirty-two bytes at a time, copied when they are all ASCII; else each widened to a 16-bit
    // lane that holds its one or two UTF-8 bytes, and the lanes' second bytes dropped where the
    // character is ASCII. The AVX2 blocks take what is too short for a block.
    LUMIVA_AVX512 static void Latin1ToUtf8(const unsigned char*& In, const unsigned char* InEnd, unsigned char*& Out,
                                           unsigned char* OutEnd)
    {
        const unsigned char* in = In;
        unsigned char* out = Out;
        while (InEnd - in >= 32 && OutEnd - out >= 64) {
            const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
            const auto high = static_cast<std::uint32_t>(_mm256_movemask_epi8(bytes));
            in += 32;
            if (high == 0) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
                out += 32;
                continue;
            }
            const __m512i units = _mm512_cvtepu8_epi16(bytes);
            // Above 0x7F: the lead C2 or C3 and, in the high byte, the continuation byte.
            const __m512i pairs = _mm512_or_si512(
                _mm512_or_si512(_mm512_srli_epi16(units, 6), _mm512_slli_epi16(_mm512_and_si512(units, _mm512_set1_epi16(0x3F)), 8)),
                _mm512_set1_epi16(static_cast<short>(0x80C0)));
            const __m512i forms = _mm512_mask_blend_epi16(high, units, pairs);
            const std::uint64_t keep = 0x5555555555555555u | _pdep_u64(high, 0xAAAAAAAAAAAAAAAAu);
            _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, forms));
            out += 32 + __builtin_popcount(high);
        }
        In = in;
        Out = out;
        TAvx2Blocks::Latin1ToUtf8(In, InEnd, Out, OutEnd);
    }

    // Sixty-four positions at a time, copied when they are all ASCII: ASCII stays, C2 or C3 and
    // a continuation byte become one byte, and the continuation bytes are dropped. Any other byte
    // above 0x7F, or a lead byte without its continuation, stops it. The AVX2 blocks take what
    // is too short for a block.
    LUMIVA_AVX512 static void Utf8ToLatin1(const unsigned char*& In, const unsigned char* InEnd, unsigned char*& Out,
                                           unsigned char* OutEnd)
    {
        const unsigned char* in = In;
        unsigned char* out = Out;
        // 1 when the position before in held a lead byte, whose continuation at in is taken.
        std::uint64_t taken = 0;
        // The second load reaches the byte after the 64 positions, which a lead at the last needs.
        while (InEnd - in >= 65 && OutEnd - out >= 64) {
            const __m512i bytes = _mm512_loadu_si512(in);
            const std::uint64_t high = _mm512_movepi8_mask(bytes);
            if (high == 0) {
                _mm512_storeu_si512(out, bytes);
                in += 64;
                out += 64;
                continue;
            }
            const __m512i next = _mm512_loadu_si512(in + 1);
            // C2 and C3 are the two bytes that match C2 without their lowest bit.
            const std::uint64_t leads = _mm512_cmpeq_epi8_mask(_mm512_and_si512(bytes, _mm512_set1_epi8(static_cast<char>(0xFE))),
                                                               _mm512_set1_epi8(static_cast<char>(0xC2)));
            // Bit i: position i + 1 holds a continuation byte (0x80 to 0xBF, below -64 signed).
            const std::uint64_t following = _mm512_cmplt_epi8_mask(next, _mm512_set1_epi8(-64));
            if (!OnlyLatin1Pairs(high, leads, following, taken))
                break;
            const __m512i joined = _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(bytes, _mm512_set1_epi8(3)), 6),
                                                   _mm512_and_si512(next, _mm512_set1_epi8(0x3F)));
            const std::uint64_t keep = ~(following << 1 | taken);
            _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, _mm512_mask_blend_epi8(leads, bytes, joined)));
            out += __builtin_popcountll(keep);
            in += 64;
            taken = leads >> 63;
        }
        In = in + taken;
        Out = out;
        TAvx2Blocks::Utf8ToLatin1(In, InEnd, Out, OutEnd);
    }
};

} // namespace

TTranscodeProc FindAvx512Transcoder(TUnicodeForm From, TUnicodeForm To)
{
    return TranscoderFor<TAvx512Blocks>(From, To);
}

} // namespace lmviconv
