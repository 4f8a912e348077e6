#pragma once

// The converters between a legacy encoding and a Unicode form: the common loop's shape, with
// the encoding's tables. Included by the SSE2, AVX2 and AVX-512 units after their blocks;
// internal linkage, as the loop's.

#include "libiconv/LegacyTables.h"
#include "libiconv/TranscodeLoop.h"

#include <cstring>
#include <emmintrin.h>

namespace lmviconv {

TLegacyProc FindAvx2LegacyTranscoder(bool LegacySource, TUnicodeForm Unicode);
TLegacyProc FindAvx512LegacyTranscoder(bool LegacySource, TUnicodeForm Unicode);

namespace {

struct TDecodeLegacy {
    static constexpr TUnit Unit = TUnit::Byte;
    const TLegacyTables& Tables;
    std::size_t Decode(const unsigned char* p, const unsigned char* end, std::uint32_t& cp) const
    {
        const unsigned b = p[0];
        if (b < 0x80 && Tables.AsciiSame) {
            cp = b;
            return 1;
        }
        const std::uint32_t value = Tables.Single[b];
        if (value < TLegacyTables::Lead) {
            cp = value;
            return 1;
        }
        if (value == TLegacyTables::Invalid || end - p < 2)
            return 0;
        cp = Tables.Pair(b, p[1]);
        if (cp != 0)
            return 2;
        if (!Tables.FourByte || end - p < 4)
            return 0;
        cp = TLegacyTables::FourByteCharacter(p);
        return cp == 0 || !Tables.ByArithmetic(cp) ? 0 : 4;
    }
};

struct TEncodeLegacy {
    static constexpr TUnit Unit = TUnit::Byte;
    const TLegacyTables& Tables;
    std::size_t Length(std::uint32_t cp) const
    {
        if (cp < 0x80 && Tables.AsciiSame)
            return 1;
        if (cp > 0xFFFF)
            return Tables.FourByte && Tables.ByArithmetic(cp) ? 4 : 0;
        const unsigned bytes = Tables.Encode[cp];
        return bytes == 0 ? 0 : bytes < 0x200 ? 1 : 2;
    }
    void Write(unsigned char* p, std::uint32_t cp, std::size_t length) const
    {
        if (cp < 0x80 && Tables.AsciiSame) {
            p[0] = static_cast<unsigned char>(cp);
            return;
        }
        if (length == 4) {
            TLegacyTables::WriteFourBytes(p, cp);
            return;
        }
        const unsigned bytes = Tables.Encode[cp];
        if (length == 1) {
            p[0] = static_cast<unsigned char>(bytes);
        } else {
            p[0] = static_cast<unsigned char>(bytes >> 8);
            p[1] = static_cast<unsigned char>(bytes);
        }
    }
};

// Copies the ASCII that the sixteen bytes at In start with and advances both past it; how many
// (16: all). Writes sixteen bytes at Out, zeros after the ASCII (the room after the output stays
// zero, as the blocks leave it).
inline unsigned CopyAscii(const unsigned char*& In, unsigned char*& Out)
{
    static const unsigned char Window[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                             0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(In));
    const auto high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
    const unsigned ascii = high == 0 ? 16 : static_cast<unsigned>(__builtin_ctz(high));
    const __m128i keep = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Window + 16 - ascii));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out), _mm_and_si128(bytes, keep));
    In += ascii;
    Out += ascii;
    return ascii;
}

// A legacy encoding's text to UTF-8: ASCII sixteen bytes at a time, then Step (which writes one
// character and moves both on, or says false) up to Last bytes into the sixteen loaded. Stops
// where Step does.
template <class TStep>
inline void RoundsToUtf8(const unsigned char*& In, const unsigned char* InEnd, unsigned char*& Out, unsigned char* OutEnd,
                         unsigned Last, TStep Step)
{
    const unsigned char* in = In;
    unsigned char* out = Out;
    // Sixteen bytes in make at most 48 out, and the last store writes 4.
    while (InEnd - in >= 16 && OutEnd - out >= 52) {
        const unsigned ascii = CopyAscii(in, out);
        if (ascii == 16)
            continue;
        const unsigned char* const stop = in - ascii + Last;
        while (in < stop)
            if (!Step(in, out))
                goto done;
    }
done:
    In = in;
    Out = out;
}

// Each character's UTF-8 bytes from the tables in one 4-byte store; for a double-byte encoding
// with both lengths, from one look-up by its first two bytes, with no branch on its kind. Stops
// before anything the tables lack.
inline void LegacyToUtf8(const TLegacyTables& Tables, const unsigned char*& In, const unsigned char* InEnd,
                         unsigned char*& Out, unsigned char* OutEnd)
{
    if (Tables.DoubleByte) {
        const std::uint32_t* const steps = Tables.Utf8Steps.data();
        // A pair that starts before the fifteenth byte ends within the sixteen loaded.
        RoundsToUtf8(In, InEnd, Out, OutEnd, 15, [steps](const unsigned char*& in, unsigned char*& out) {
            const std::uint32_t step = steps[in[0] << 8 | in[1]];
            if (step == 0)
                return false;
            const std::uint32_t form = step & 0xFFFFFF;
            std::memcpy(out, &form, 4);
            out += step >> 24 & 3;
            in += step >> 28;
            return true;
        });
        return;
    }
    RoundsToUtf8(In, InEnd, Out, OutEnd, 16, [&Tables](const unsigned char*& in, unsigned char*& out) {
        const unsigned b = *in;
        const std::uint32_t form = b < 0x80 ? b : Tables.SingleUtf8[b - 0x80];
        if (form == 0 && b != 0)
            return false;
        ++in;
        std::memcpy(out, &form, 4);
        const unsigned lead = form & 0xFF;
        out += 1 + (lead >= 0xC0) + (lead >= 0xE0);
        return true;
    });
}

// UTF-8 to a legacy encoding: ASCII sixteen bytes at a time; other characters of two or three
// bytes through the reverse table. Stops before anything else, before what the table lacks, and
// after Blocks rounds of sixteen bytes.
inline void Utf8ToLegacy(const TLegacyTables& Tables, const unsigned char*& In, const unsigned char* InEnd,
                         unsigned char*& Out, unsigned char* OutEnd, std::size_t Blocks)
{
    const unsigned char* in = In;
    unsigned char* out = Out;
    const std::uint16_t* const encode = Tables.Encode.data();
    for (; Blocks > 0 && InEnd - in >= 16 && OutEnd - out >= 16; --Blocks) {
        const unsigned ascii = CopyAscii(in, out);
        if (ascii == 16)
            continue;
        // A character of three bytes that starts before the stop ends within the sixteen.
        const unsigned char* const stop = in - ascii + 14;
        while (in < stop) {
            const unsigned b = *in;
            if (b < 0x80) {
                *out++ = static_cast<unsigned char>(b);
                ++in;
                continue;
            }
            std::uint32_t cp;
            if (b >= 0xE0 && b < 0xF0) {
                if ((in[1] & 0xC0) != 0x80 || (in[2] & 0xC0) != 0x80)
                    goto done;
                cp = (b & 0x0F) << 12 | std::uint32_t(in[1] & 0x3F) << 6 | (in[2] & 0x3F);
                if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))
                    goto done;
                in += 3;
            } else if (b >= 0xC2 && b < 0xE0) {
                if ((in[1] & 0xC0) != 0x80)
                    goto done;
                cp = (b & 0x1F) << 6 | (in[1] & 0x3F);
                in += 2;
            } else {
                goto done;
            }
            const unsigned value = encode[cp];
            if (value == 0) {
                in -= cp < 0x800 ? 2 : 3;
                goto done;
            }
            if (value < 0x200) {
                *out++ = static_cast<unsigned char>(value);
            } else {
                out[0] = static_cast<unsigned char>(value >> 8);
                out[1] = static_cast<unsigned char>(value);
                out += 2;
            }
        }
    }
done:
    In = in;
    Out = out;
}

template <class Coder>
Coder MakeCoder(const TLegacyTables& Tables)
{
    if constexpr (std::is_same_v<Coder, TDecodeLegacy> || std::is_same_v<Coder, TEncodeLegacy>)
        return Coder{Tables};
    else
        return Coder{};
}

// Blocks: as for Transcode, and optionally SingleToUtf8 and Utf8ToSingle with the tables first,
// which may convert stretches of a single-byte encoding's mixed text.
template <class Blocks, class Decoder, class Encoder>
TTranscodeStop TranscodeLegacy(const TLegacyTables& Tables, const unsigned char*& In, const unsigned char* InEnd,
                               unsigned char*& Out, unsigned char* OutEnd)
{
    const Decoder decoder = MakeCoder<Decoder>(Tables);
    const Encoder encoder = MakeCoder<Encoder>(Tables);
    constexpr bool fromLegacy = std::is_same_v<Decoder, TDecodeLegacy>;
    constexpr bool toLegacy = std::is_same_v<Encoder, TEncodeLegacy>;
    const unsigned char* in = In;
    unsigned char* out = Out;
    TTranscodeStop stop = TTranscodeStop::Done;
    while (in < InEnd) {
        if (Tables.AsciiSame) {
            Blocks::template Run<Decoder::Unit, Encoder::Unit, 0x7F>(in, InEnd, out, OutEnd);
            if constexpr (fromLegacy && std::is_same_v<Encoder, TEncodeUtf8> &&
                          requires { Blocks::SingleToUtf8(Tables, in, InEnd, out, OutEnd); }) {
                if (!Tables.DoubleByte)
                    Blocks::SingleToUtf8(Tables, in, InEnd, out, OutEnd);
                else
                    Blocks::DoubleToUtf8(Tables, in, InEnd, out, OutEnd);
            }
            // What the blocks left (or all of it, without them), sixteen bytes at a time; after
            // the blocks only the few rounds that take a character they stop at (three bytes of
            // UTF-8), before they try again.
            std::size_t rounds = ~std::size_t{0};
            if constexpr (toLegacy && std::is_same_v<Decoder, TDecodeUtf8> &&
                          requires { Blocks::Utf8ToSingle(Tables, in, InEnd, out, OutEnd); }) {
                if (!Tables.DoubleByte)
                    Blocks::Utf8ToSingle(Tables, in, InEnd, out, OutEnd);
                else
                    Blocks::Utf8ToDouble(Tables, in, InEnd, out, OutEnd);
                rounds = 4;
            }
            if constexpr (fromLegacy && std::is_same_v<Encoder, TEncodeUtf8>)
                LegacyToUtf8(Tables, in, InEnd, out, OutEnd);
            if constexpr (toLegacy && std::is_same_v<Decoder, TDecodeUtf8>)
                Utf8ToLegacy(Tables, in, InEnd, out, OutEnd, rounds);
        }
        // One character at a time over a block's length (or a little more, to end a pair) before
        // the blocks try again. Some of the C library's encoders (CP932, EUC-KR) write the lead
        // byte of a pair that does not fit before they report the output full: they report it
        // here too. Its decoders write a Unicode form whole or not at all, so a full output
        // there is reported as such, and the next call comes back here.
        stop = CharacterStretch(decoder, encoder, in, InEnd - in > 64 ? in + 64 : InEnd, InEnd, out, OutEnd,
                                fromLegacy ? TTranscodeStop::OutputFull : TTranscodeStop::Unusual);
        if (stop != TTranscodeStop::Done)
            break;
    }
    In = in;
    Out = out;
    return stop;
}

// Unicode: the encoder's type for a legacy source, the decoder's for a legacy target.
template <class Blocks>
TLegacyProc LegacyTranscoderFor(bool LegacySource, TUnicodeForm Unicode)
{
    switch (Unicode) {
    case TUnicodeForm::Utf8:
        return LegacySource ? &TranscodeLegacy<Blocks, TDecodeLegacy, TEncodeUtf8>
                            : &TranscodeLegacy<Blocks, TDecodeUtf8, TEncodeLegacy>;
    case TUnicodeForm::Utf16Le:
        return LegacySource ? &TranscodeLegacy<Blocks, TDecodeLegacy, TEncodeUtf16<false>>
                            : &TranscodeLegacy<Blocks, TDecodeUtf16<false>, TEncodeLegacy>;
    case TUnicodeForm::Utf16Be:
        return LegacySource ? &TranscodeLegacy<Blocks, TDecodeLegacy, TEncodeUtf16<true>>
                            : &TranscodeLegacy<Blocks, TDecodeUtf16<true>, TEncodeLegacy>;
    case TUnicodeForm::Utf32Le:
        return LegacySource ? &TranscodeLegacy<Blocks, TDecodeLegacy, TEncodeUtf32<false>>
                            : &TranscodeLegacy<Blocks, TDecodeUtf32<false>, TEncodeLegacy>;
    case TUnicodeForm::Utf32Be:
        return LegacySource ? &TranscodeLegacy<Blocks, TDecodeLegacy, TEncodeUtf32<true>>
                            : &TranscodeLegacy<Blocks, TDecodeUtf32<true>, TEncodeLegacy>;
    default:
        return nullptr;
    }
}

} // namespace
} // namespace lmviconv
