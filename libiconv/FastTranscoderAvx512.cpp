// The AVX-512 blocks: the AVX2 ones, with Latin-1 and the single-byte encodings to and from
// UTF-8 done by the byte compress of AVX-512 VBMI2, which packs 64 bytes by a mask in one step
// where AVX2 needs a table shuffle for every eight, and the single-byte tables read by the
// 128-byte permutes of VBMI. FindTranscoder calls into this unit only when the processor has it.
#include "libiconv/Avx2Blocks.h"
#include "libiconv/LegacyLoop.h"

#define LUMIVA_AVX512 __attribute__((target("avx2,bmi2,avx512f,avx512bw,avx512vbmi,avx512vbmi2")))

namespace lmviconv {

namespace {

// Byte orders that lay two or three tables' bytes for the same positions side by side: a
// position's bytes from the first and second table (the second's indices from 64) in each
// 16-bit lane, for the lower and the upper 32 positions, or the first, second and third (the
// third read with the first's indices) in each 32-bit lane, for each 16 positions.
struct TLaneOrders {
    alignas(64) std::uint8_t Pairs[2][64];
    alignas(64) std::uint8_t Quads[4][64];
    constexpr TLaneOrders() : Pairs{}, Quads{}
    {
        for (int half = 0; half < 2; ++half)
            for (int i = 0; i < 32; ++i) {
                Pairs[half][2 * i] = static_cast<std::uint8_t>(32 * half + i);
                Pairs[half][2 * i + 1] = static_cast<std::uint8_t>(64 + 32 * half + i);
            }
        for (int quarter = 0; quarter < 4; ++quarter)
            for (int i = 0; i < 16; ++i) {
                Quads[quarter][4 * i] = static_cast<std::uint8_t>(16 * quarter + i);
                Quads[quarter][4 * i + 1] = static_cast<std::uint8_t>(64 + 16 * quarter + i);
                Quads[quarter][4 * i + 2] = static_cast<std::uint8_t>(16 * quarter + i);
                Quads[quarter][4 * i + 3] = 0;
            }
    }
};
constexpr TLaneOrders Lanes;

// Sixteen bytes, each to a 32-bit lane. Here and in the 32-bit shifts below the masked forms:
// GCC 12 warns of the others' undefined source.
LUMIVA_AVX512 inline __m512i Widen(const unsigned char* At)
{
    return _mm512_maskz_cvtepu8_epi32(0xFFFF, _mm_loadu_si128(reinterpret_cast<const __m128i*>(At)));
}

// The sixty-four bytes at In, when none is Above 0x7F, copied to Out, both moved on.
LUMIVA_AVX512 inline bool CopiedAscii(__m512i Bytes, std::uint64_t Above, const unsigned char*& In, unsigned char*& Out)
{
    if (Above != 0)
        return false;
    _mm512_storeu_si512(Out, Bytes);
    In += 64;
    Out += 64;
    return true;
}

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

    // Sixty-four positions at a time (PairBlocks): C2 or C3 and a continuation byte become one
    // byte. The AVX2 blocks take what is too short for a block.
    LUMIVA_AVX512 static void Utf8ToLatin1(const unsigned char*& In, const unsigned char* InEnd, unsigned char*& Out,
                                           unsigned char* OutEnd)
    {
        PairBlocks(TLatin1Pairs{}, In, InEnd, Out, OutEnd);
        TAvx2Blocks::Utf8ToLatin1(In, InEnd, Out, OutEnd);
    }

    // Sixty-four bytes of a single-byte encoding at a time, copied when they are all ASCII; else
    // each high byte's UTF-8 bytes looked up in the 128-entry tables, laid in 16-bit lanes (or
    // 32-bit ones when a character takes three bytes), and the unused bytes compressed away. An
    // invalid byte stops it.
    LUMIVA_AVX512 static void SingleToUtf8(const TLegacyTables& Tables, const unsigned char*& In,
                                           const unsigned char* InEnd, unsigned char*& Out, unsigned char* OutEnd)
    {
        __m512i low[3];
        __m512i high[3];
        for (int i = 0; i < 3; ++i) {
            low[i] = _mm512_loadu_si512(Tables.Utf8Bytes[i]);
            high[i] = _mm512_loadu_si512(Tables.Utf8Bytes[i] + 64);
        }
        const unsigned char* in = In;
        unsigned char* out = Out;
        // Each of the four compressed stores writes 64 bytes.
        while (InEnd - in >= 64 && OutEnd - out >= 3 * 64 + 64) {
            const __m512i bytes = _mm512_loadu_si512(in);
            const std::uint64_t above = _mm512_movepi8_mask(bytes);
            if (CopiedAscii(bytes, above, in, out))
                continue;
            const __m512i first = _mm512_mask_blend_epi8(above, bytes, _mm512_permutex2var_epi8(low[0], bytes, high[0]));
            if (_mm512_mask_cmpeq_epi8_mask(above, first, _mm512_setzero_si512()) != 0)
                break;
            const __m512i second = _mm512_maskz_permutex2var_epi8(above, low[1], bytes, high[1]);
            const __m512i third = _mm512_maskz_permutex2var_epi8(above, low[2], bytes, high[2]);
            const std::uint64_t two = _mm512_test_epi8_mask(second, second);
            const std::uint64_t three = _mm512_test_epi8_mask(third, third);
            if (three == 0) {
                for (int half = 0; half < 2; ++half) {
                    const __m512i units = _mm512_permutex2var_epi8(first, _mm512_load_si512(Lanes.Pairs[half]), second);
                    const auto more = static_cast<std::uint32_t>(two >> (32 * half));
                    const std::uint64_t keep = 0x5555555555555555u | _pdep_u64(more, 0xAAAAAAAAAAAAAAAAu);
                    _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, units));
                    out += 32 + __builtin_popcount(more);
                }
            } else {
                for (int quarter = 0; quarter < 4; ++quarter) {
                    const __m512i order = _mm512_load_si512(Lanes.Quads[quarter]);
                    const __m512i units =
                        _mm512_or_si512(_mm512_maskz_permutex2var_epi8(0x3333333333333333u, first, order, second),
                                        _mm512_maskz_permutexvar_epi8(0x4444444444444444u, order, third));
                    const std::uint64_t more = two >> (16 * quarter) & 0xFFFF;
                    const std::uint64_t most = three >> (16 * quarter) & 0xFFFF;
                    const std::uint64_t keep =
                        0x1111111111111111u | _pdep_u64(more, 0x2222222222222222u) | _pdep_u64(most, 0x4444444444444444u);
                    _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, units));
                    out += __builtin_popcountll(keep);
                }
            }
            in += 64;
        }
        In = in;
        Out = out;
    }

    // Sixty-four positions at a time (PairBlocks): a two-byte character whose lead has a row is
    // looked up in that row by its continuation byte (64 entries, one permute a lead).
    LUMIVA_AVX512 static void Utf8ToSingle(const TLegacyTables& Tables, const unsigned char*& In,
                                           const unsigned char* InEnd, unsigned char*& Out, unsigned char* OutEnd)
    {
        PairBlocks(TSinglePairs{Tables}, In, InEnd, Out, OutEnd);
    }

    // A double-byte encoding's text to UTF-8 (GatherBlocks with TPairSteps).
    LUMIVA_AVX512 static void DoubleToUtf8(const TLegacyTables& Tables, const unsigned char*& In,
                                           const unsigned char* InEnd, unsigned char*& Out, unsigned char* OutEnd)
    {
        GatherBlocks(TPairSteps(Tables), In, InEnd, Out, OutEnd);
    }

    // UTF-8 to a double-byte encoding (GatherBlocks with TReverseLookUp).
    LUMIVA_AVX512 static void Utf8ToDouble(const TLegacyTables& Tables, const unsigned char*& In,
                                           const unsigned char* InEnd, unsigned char*& Out, unsigned char* OutEnd)
    {
        GatherBlocks(TReverseLookUp{Tables}, In, InEnd, Out, OutEnd);
    }

private:
    static constexpr std::uint64_t Even = 0x5555555555555555u;

    // Sixty-four bytes at a time, copied when they are all ASCII; else Kind marks where the
    // characters start (Starts) and how far the block's whole characters reach (Advance), and
    // each sixteen bytes' characters are packed by their starts, looked up in Kind's table by a
    // gather of their keys, and written by Kind, the unused bytes compressed away. A character
    // the table lacks stops it there; so does a block Kind refuses from its start.
    template <class TKind>
    LUMIVA_AVX512 static void GatherBlocks(TKind Kind, const unsigned char*& In, const unsigned char* InEnd,
                                           unsigned char*& Out, unsigned char* OutEnd)
    {
        const unsigned char* in = In;
        unsigned char* out = Out;
        // Kind reads up to Reach bytes past the block; each compressed store writes 64.
        while (InEnd - in >= 64 + TKind::Reach && OutEnd - out >= TKind::Room) {
            const __m512i bytes = _mm512_loadu_si512(in);
            const std::uint64_t above = _mm512_movepi8_mask(bytes);
            if (CopiedAscii(bytes, above, in, out))
                continue;
            std::uint64_t starts = 0;
            std::size_t advance = 0;
            if (!Kind.Mark(in, bytes, above, starts, advance))
                break;
            bool stopped = false;
            for (unsigned quarter = 0; quarter < 4 && !stopped; ++quarter) {
                const unsigned char* const at = in + 16 * quarter;
                const auto these = static_cast<std::uint32_t>(starts >> (16 * quarter) & 0xFFFF);
                if (these == 0)
                    continue;
                if (these == 0xFFFF && (above >> (16 * quarter) & 0xFFFF) == 0) {
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
                    out += 16;
                    continue;
                }
                const __m512i keys = _mm512_maskz_compress_epi32(static_cast<__mmask16>(these), Kind.Keys(at, quarter));
                auto lanes = static_cast<__mmask16>((1u << __builtin_popcount(these)) - 1);
                __m512i found = Kind.Found(_mm512_mask_i32gather_epi32(_mm512_setzero_si512(), lanes, keys, Kind.Table, TKind::Scale));
                const __mmask16 missing = _mm512_mask_cmpeq_epi32_mask(lanes, found, _mm512_setzero_si512());
                if (missing != 0) {
                    const unsigned k = static_cast<unsigned>(__builtin_ctz(missing));
                    lanes = static_cast<__mmask16>((1u << k) - 1);
                    found = _mm512_maskz_mov_epi32(lanes, found);
                    in = at + __builtin_ctz(_pdep_u32(1u << k, these));
                    stopped = true;
                }
                __m512i written;
                const std::uint64_t keep = Kind.Write(found, lanes, written);
                _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, written));
                out += __builtin_popcountll(keep);
            }
            if (stopped)
                break;
            in += advance;
        }
        In = in;
        Out = out;
    }

    // Double-byte to UTF-8: which bytes start a character follows from the lead bytes alone (in
    // a run of them, every other one starts a pair, from the run's first); a character's key is
    // its first two bytes, and its entry in Utf8Steps its UTF-8 bytes and their number.
    struct TPairSteps {
        static constexpr std::ptrdiff_t Reach = 1; // a pair at the last place
        static constexpr std::ptrdiff_t Room = 4 * 64; // 64 characters make at most 192 bytes
        static constexpr int Scale = 4;
        __m512i LeadLow;
        __m512i LeadHigh;
        const int* Table;
        LUMIVA_AVX512 explicit TPairSteps(const TLegacyTables& Tables)
            : LeadLow(_mm512_loadu_si512(Tables.LeadBytes)), LeadHigh(_mm512_loadu_si512(Tables.LeadBytes + 64)),
              Table(reinterpret_cast<const int*>(Tables.Utf8Steps.data()))
        {
        }
        LUMIVA_AVX512 bool Mark(const unsigned char*, __m512i Bytes, std::uint64_t Above, std::uint64_t& Starts,
                                std::size_t& Advance) const
        {
            const __m512i kinds = _mm512_permutex2var_epi8(LeadLow, Bytes, LeadHigh);
            const std::uint64_t leads = _mm512_mask_test_epi8_mask(Above, kinds, kinds);
            // Adding a run's first bit carries through the whole run: that clears exactly the
            // runs that start at an even place.
            const std::uint64_t firsts = leads & ~(leads << 1);
            const std::uint64_t evenRuns = leads & ~(leads + (firsts & Even));
            const std::uint64_t pairs = (evenRuns & Even) | (leads & ~evenRuns & ~Even);
            Starts = ~(pairs << 1);
            Advance = 64 + (pairs >> 63);
            return true;
        }
        LUMIVA_AVX512 __m512i Keys(const unsigned char* At, unsigned) const
        {
            return _mm512_or_si512(_mm512_maskz_slli_epi32(0xFFFF, Widen(At), 8), Widen(At + 1));
        }
        LUMIVA_AVX512 __m512i Found(__m512i Gathered) const { return Gathered; }
        LUMIVA_AVX512 std::uint64_t Write(__m512i Found, __mmask16 Lanes, __m512i& Written) const
        {
            Written = Found;
            const __m512i lengths = _mm512_and_si512(_mm512_maskz_srli_epi32(0xFFFF, Found, 24), _mm512_set1_epi32(3));
            return _pdep_u64(Lanes, 0x1111111111111111u) |
                   _pdep_u64(_mm512_cmpge_epu32_mask(lengths, _mm512_set1_epi32(2)), 0x2222222222222222u) |
                   _pdep_u64(_mm512_cmpeq_epi32_mask(lengths, _mm512_set1_epi32(3)), 0x4444444444444444u);
        }
    };

    // UTF-8 to double-byte: characters of one to three bytes, decoded at every place; the key
    // is the code point, and its entry in Encode the bytes to write. A wrong or cut sequence,
    // or one of four bytes, ends the block's characters there.
    struct TReverseLookUp {
        static constexpr std::ptrdiff_t Reach = 2; // a character of three bytes at the last place
        static constexpr std::ptrdiff_t Room = 2 * 64; // 64 bytes make at most 64
        static constexpr int Scale = 2;
        const int* Table;
        std::uint64_t Two = 0;
        std::uint64_t Three = 0;
        explicit TReverseLookUp(const TLegacyTables& Tables) : Table(reinterpret_cast<const int*>(Tables.Encode.data())) {}
        LUMIVA_AVX512 bool Mark(const unsigned char* In, __m512i Bytes, std::uint64_t Above, std::uint64_t& Starts,
                                std::size_t& Advance)
        {
            const __m512i next = _mm512_loadu_si512(In + 1);
            const std::uint64_t follows = _mm512_cmplt_epi8_mask(Bytes, _mm512_set1_epi8(-64));
            Two = _mm512_cmple_epu8_mask(_mm512_sub_epi8(Bytes, _mm512_set1_epi8(static_cast<char>(0xC2))),
                                         _mm512_set1_epi8(0xDF - 0xC2));
            Three = _mm512_cmple_epu8_mask(_mm512_sub_epi8(Bytes, _mm512_set1_epi8(static_cast<char>(0xE0))),
                                           _mm512_set1_epi8(0x0F));
            // E0 with a second byte below A0 is a longer form of a shorter character.
            const std::uint64_t overlong = _mm512_mask_cmplt_epu8_mask(
                _mm512_cmpeq_epi8_mask(Bytes, _mm512_set1_epi8(static_cast<char>(0xE0))), next,
                _mm512_set1_epi8(static_cast<char>(0xA0)));
            const std::uint64_t wrong =
                ((Two << 1 | Three << 1 | Three << 2) ^ follows) | (Above & ~follows & ~Two & ~Three) | overlong;
            // Up to the first wrong byte, without a character cut there (or at the block's end).
            std::size_t end = wrong == 0 ? 64 : static_cast<std::size_t>(__builtin_ctzll(wrong));
            if (end >= 1 && ((Two | Three) >> (end - 1) & 1))
                end -= 1;
            else if (end >= 2 && (Three >> (end - 2) & 1))
                end -= 2;
            Starts = ~follows & (end == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << end) - 1);
            Advance = end;
            return end != 0;
        }
        LUMIVA_AVX512 __m512i Keys(const unsigned char* At, unsigned Quarter) const
        {
            const __m512i b0 = Widen(At);
            const __m512i b1 = _mm512_and_si512(Widen(At + 1), _mm512_set1_epi32(0x3F));
            const __m512i b2 = _mm512_and_si512(Widen(At + 2), _mm512_set1_epi32(0x3F));
            const auto two = static_cast<__mmask16>(Two >> (16 * Quarter));
            const auto three = static_cast<__mmask16>(Three >> (16 * Quarter));
            const __m512i cp = _mm512_mask_or_epi32(
                b0, two, _mm512_maskz_slli_epi32(0xFFFF, _mm512_and_si512(b0, _mm512_set1_epi32(0x1F)), 6), b1);
            return _mm512_mask_or_epi32(cp, three, _mm512_maskz_slli_epi32(0xFFFF, _mm512_and_si512(b0, _mm512_set1_epi32(0x0F)), 12),
                                        _mm512_or_si512(_mm512_maskz_slli_epi32(0xFFFF, b1, 6), b2));
        }
        // The gather reads two entries; the first is the character's.
        LUMIVA_AVX512 __m512i Found(__m512i Gathered) const { return _mm512_and_si512(Gathered, _mm512_set1_epi32(0xFFFF)); }
        LUMIVA_AVX512 std::uint64_t Write(__m512i Found, __mmask16 Lanes, __m512i& Written) const
        {
            const __mmask16 wide = _mm512_cmpge_epu32_mask(Found, _mm512_set1_epi32(0x200));
            // A pair's bytes in the order they are written: lead (the entry's high byte) first.
            Written = _mm512_mask_shldi_epi16(Found, _pdep_u32(wide, 0x55555555u), Found, Found, 8);
            return _pdep_u64(Lanes, 0x1111111111111111u) | _pdep_u64(wide, 0x2222222222222222u);
        }
    };

    // UTF-8 of ASCII and two-byte characters to one byte each, sixty-four positions at a time,
    // copied when they are all ASCII: Pairs names the leads it takes and gives each lead position
    // its byte, and the continuation bytes are dropped. Any other byte above 0x7F, a lead without
    // its continuation, or a character Pairs refuses stops it.
    template <class TPairs>
    LUMIVA_AVX512 static void PairBlocks(const TPairs& Pairs, const unsigned char*& In, const unsigned char* InEnd,
                                         unsigned char*& Out, unsigned char* OutEnd)
    {
        const unsigned char* in = In;
        unsigned char* out = Out;
        // 1 when the position before in held a lead byte, whose continuation at in is taken.
        std::uint64_t taken = 0;
        // The second load reaches the byte after the 64 positions, which a lead at the last needs.
        while (InEnd - in >= 65 && OutEnd - out >= 64) {
            const __m512i bytes = _mm512_loadu_si512(in);
            const std::uint64_t high = _mm512_movepi8_mask(bytes);
            if (CopiedAscii(bytes, high, in, out))
                continue;
            const __m512i next = _mm512_loadu_si512(in + 1);
            const std::uint64_t leads = Pairs.Leads(bytes);
            // Bit i: position i + 1 holds a continuation byte (0x80 to 0xBF, below -64 signed).
            const std::uint64_t following = _mm512_cmplt_epi8_mask(next, _mm512_set1_epi8(-64));
            __m512i values;
            if (!OnlyLatin1Pairs(high, leads, following, taken) || !Pairs.Values(bytes, next, leads, values))
                break;
            const std::uint64_t keep = ~(following << 1 | taken);
            _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, values));
            out += __builtin_popcountll(keep);
            in += 64;
            taken = leads >> 63;
        }
        In = in + taken;
        Out = out;
    }

    struct TLatin1Pairs {
        // C2 and C3 are the two bytes that match C2 without their lowest bit.
        LUMIVA_AVX512 std::uint64_t Leads(__m512i Bytes) const
        {
            return _mm512_cmpeq_epi8_mask(_mm512_and_si512(Bytes, _mm512_set1_epi8(static_cast<char>(0xFE))),
                                          _mm512_set1_epi8(static_cast<char>(0xC2)));
        }
        LUMIVA_AVX512 bool Values(__m512i Bytes, __m512i Next, std::uint64_t Leads, __m512i& Result) const
        {
            const __m512i joined = _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(Bytes, _mm512_set1_epi8(3)), 6),
                                                   _mm512_and_si512(Next, _mm512_set1_epi8(0x3F)));
            Result = _mm512_mask_blend_epi8(Leads, Bytes, joined);
            return true;
        }
    };

    struct TSinglePairs {
        const TLegacyTables& Tables;
        // Every lead of a two-byte character, C2 to DF.
        LUMIVA_AVX512 std::uint64_t Leads(__m512i Bytes) const
        {
            return _mm512_cmple_epu8_mask(_mm512_sub_epi8(Bytes, _mm512_set1_epi8(static_cast<char>(0xC2))),
                                          _mm512_set1_epi8(0xDF - 0xC2));
        }
        // False for a lead without a row, or a character the row lacks.
        LUMIVA_AVX512 bool Values(__m512i Bytes, __m512i Next, std::uint64_t Leads, __m512i& Result) const
        {
            Result = Bytes;
            std::uint64_t covered = 0;
            for (const TLegacyTables::TLeadRow& row : Tables.LeadRows) {
                const std::uint64_t these = _mm512_mask_cmpeq_epi8_mask(Leads, Bytes, _mm512_set1_epi8(static_cast<char>(row.Lead)));
                if (these == 0)
                    continue;
                Result = _mm512_mask_permutexvar_epi8(Result, these, Next, _mm512_loadu_si512(row.Bytes));
                covered |= these;
            }
            return covered == Leads && _mm512_mask_cmpeq_epi8_mask(Leads, Result, _mm512_setzero_si512()) == 0;
        }
    };
};

} // namespace

TTranscodeProc FindAvx512Transcoder(TUnicodeForm From, TUnicodeForm To)
{
    return TranscoderFor<TAvx512Blocks>(From, To);
}

TLegacyProc FindAvx512LegacyTranscoder(bool LegacySource, TUnicodeForm Unicode)
{
    return LegacyTranscoderFor<TAvx512Blocks>(LegacySource, Unicode);
}

} // namespace lmviconv
