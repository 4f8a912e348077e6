#pragma once

// The converters' common loop. The SSE2, AVX2 and AVX-512 translation units each include it with
// their own block code; everything here has internal linkage, so the builds never mix.

#include "libiconv/TranscodeProc.h"
#include "libiconv/UnicodeFormNames.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace lmviconv {

// Defined in the AVX2 and AVX-512 units: the same table as FindTranscoder's, with their blocks.
TTranscodeProc FindAvx2Transcoder(TUnicodeForm From, TUnicodeForm To);
TTranscodeProc FindAvx512Transcoder(TUnicodeForm From, TUnicodeForm To);

namespace {

// How one stretch of code units is stored: bytes, or 16 or 32 bits in either order.
enum class TUnit { Byte, U16Le, U16Be, U32Le, U32Be };

constexpr std::size_t WidthOf(TUnit Unit)
{
    return Unit == TUnit::Byte ? 1 : (Unit == TUnit::U16Le || Unit == TUnit::U16Be) ? 2 : 4;
}

template <bool Big>
inline std::uint32_t Get16(const unsigned char* p)
{
    return Big ? (std::uint32_t{p[0]} << 8 | p[1]) : (std::uint32_t{p[1]} << 8 | p[0]);
}

template <bool Big>
inline std::uint32_t Get32(const unsigned char* p)
{
    return Big ? (std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3])
               : (std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0]);
}

template <bool Big>
inline void Put16(unsigned char* p, std::uint32_t u)
{
    p[Big ? 0 : 1] = static_cast<unsigned char>(u >> 8);
    p[Big ? 1 : 0] = static_cast<unsigned char>(u);
}

template <bool Big>
inline void Put32(unsigned char* p, std::uint32_t u)
{
    for (int i = 0; i < 4; ++i)
        p[Big ? 3 - i : i] = static_cast<unsigned char>(u >> (8 * i));
}

// Decoders: the length of the character at p and its code point, or 0 where the C library would
// have to decide (invalid, incomplete). BlockLimit: the highest code point that the block code
// takes in this form's units (0: none).
struct TDecodeUtf8 {
    static constexpr TUnit Unit = TUnit::Byte;
    static constexpr std::uint32_t BlockLimit = 0x7F;
    static std::size_t Decode(const unsigned char* p, const unsigned char* end, std::uint32_t& cp)
    {
        const std::uint32_t b0 = p[0];
        if (b0 < 0x80) {
            cp = b0;
            return 1;
        }
        const std::size_t left = static_cast<std::size_t>(end - p);
        if (b0 < 0xE0) {
            if (b0 < 0xC2 || left < 2 || (p[1] & 0xC0) != 0x80)
                return 0;
            cp = (b0 & 0x1F) << 6 | (p[1] & 0x3F);
            return 2;
        }
        if (b0 < 0xF0) {
            if (left < 3 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80)
                return 0;
            cp = (b0 & 0x0F) << 12 | std::uint32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
            if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))
                return 0;
            return 3;
        }
        if (b0 > 0xF4 || left < 4 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80 || (p[3] & 0xC0) != 0x80)
            return 0;
        cp = (b0 & 0x07) << 18 | std::uint32_t(p[1] & 0x3F) << 12 | std::uint32_t(p[2] & 0x3F) << 6 | (p[3] & 0x3F);
        if (cp < 0x10000 || cp > 0x10FFFF)
            return 0;
        return 4;
    }
};

struct TDecodeLatin1 {
    static constexpr TUnit Unit = TUnit::Byte;
    static constexpr std::uint32_t BlockLimit = 0xFF;
    static std::size_t Decode(const unsigned char* p, const unsigned char*, std::uint32_t& cp)
    {
        cp = p[0];
        return 1;
    }
};

struct TDecodeAscii {
    static constexpr TUnit Unit = TUnit::Byte;
    static constexpr std::uint32_t BlockLimit = 0x7F;
    static std::size_t Decode(const unsigned char* p, const unsigned char*, std::uint32_t& cp)
    {
        cp = p[0];
        return cp < 0x80 ? 1 : 0;
    }
};

template <bool Big>
struct TDecodeUtf16 {
    static constexpr TUnit Unit = Big ? TUnit::U16Be : TUnit::U16Le;
    static constexpr std::uint32_t BlockLimit = 0xFF;
    static std::size_t Decode(const unsigned char* p, const unsigned char* end, std::uint32_t& cp)
    {
        const std::size_t left = static_cast<std::size_t>(end - p);
        if (left < 2)
            return 0;
        const std::uint32_t u = Get16<Big>(p);
        if (u - 0xD800 >= 0x800) {
            cp = u;
            return 2;
        }
        if (u >= 0xDC00 || left < 4)
            return 0;
        const std::uint32_t low = Get16<Big>(p + 2);
        if (low - 0xDC00 >= 0x400)
            return 0;
        cp = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
        return 4;
    }
};

template <bool Big>
struct TDecodeUtf32 {
    static constexpr TUnit Unit = Big ? TUnit::U32Be : TUnit::U32Le;
    static constexpr std::uint32_t BlockLimit = 0;
    static std::size_t Decode(const unsigned char* p, const unsigned char* end, std::uint32_t& cp)
    {
        if (end - p < 4)
            return 0;
        cp = Get32<Big>(p);
        return cp > 0x10FFFF || cp - 0xD800 < 0x800 ? 0 : 4;
    }
};

// Encoders: Length is 0 for a character the target cannot hold.
struct TEncodeUtf8 {
    static constexpr TUnit Unit = TUnit::Byte;
    static constexpr std::uint32_t BlockLimit = 0x7F;
    static std::size_t Length(std::uint32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }
    static void Write(unsigned char* p, std::uint32_t cp, std::size_t length)
    {
        switch (length) {
        case 1:
            p[0] = static_cast<unsigned char>(cp);
            break;
        case 2:
            p[0] = static_cast<unsigned char>(0xC0 | cp >> 6);
            p[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            break;
        case 3:
            p[0] = static_cast<unsigned char>(0xE0 | cp >> 12);
            p[1] = static_cast<unsigned char>(0x80 | (cp >> 6 & 0x3F));
            p[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            break;
        default:
            p[0] = static_cast<unsigned char>(0xF0 | cp >> 18);
            p[1] = static_cast<unsigned char>(0x80 | (cp >> 12 & 0x3F));
            p[2] = static_cast<unsigned char>(0x80 | (cp >> 6 & 0x3F));
            p[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            break;
        }
    }
};

template <std::uint32_t Highest>
struct TEncodeByte {
    static constexpr TUnit Unit = TUnit::Byte;
    static constexpr std::uint32_t BlockLimit = Highest;
    static std::size_t Length(std::uint32_t cp) { return cp <= Highest ? 1 : 0; }
    static void Write(unsigned char* p, std::uint32_t cp, std::size_t) { p[0] = static_cast<unsigned char>(cp); }
};
using TEncodeLatin1 = TEncodeByte<0xFF>;
using TEncodeAscii = TEncodeByte<0x7F>;

template <bool Big>
struct TEncodeUtf16 {
    static constexpr TUnit Unit = Big ? TUnit::U16Be : TUnit::U16Le;
    static constexpr std::uint32_t BlockLimit = 0xFF;
    static std::size_t Length(std::uint32_t cp) { return cp < 0x10000 ? 2 : 4; }
    static void Write(unsigned char* p, std::uint32_t cp, std::size_t length)
    {
        if (length == 2) {
            Put16<Big>(p, cp);
            return;
        }
        Put16<Big>(p, 0xD800 + ((cp - 0x10000) >> 10));
        Put16<Big>(p + 2, 0xDC00 + (cp & 0x3FF));
    }
};

template <bool Big>
struct TEncodeUtf32 {
    static constexpr TUnit Unit = Big ? TUnit::U32Be : TUnit::U32Le;
    static constexpr std::uint32_t BlockLimit = 0xFF;
    static std::size_t Length(std::uint32_t) { return 4; }
    static void Write(unsigned char* p, std::uint32_t cp, std::size_t) { Put32<Big>(p, cp); }
};

// UTF-8 to Latin-1 over one block of positions, from bit masks of its bytes above 0x7F, of its
// C2 and C3 lead bytes, and of the continuation bytes one position further on: true when each
// lead has its continuation byte, no continuation byte is without a lead (the one at position 0
// belongs to a lead before the block when Taken is 1), and no other byte is above 0x7F.
template <class TMask>
inline bool OnlyLatin1Pairs(TMask High, TMask Leads, TMask Following, TMask Taken)
{
    return ((High & ~(Leads | Following << 1 | Taken)) | (Following ^ Leads)) == 0;
}

// One character at a time from In while it is before StretchEnd; Full: what to report when the
// next character's bytes do not fit.
template <class Decoder, class Encoder>
inline TTranscodeStop CharacterStretch(const Decoder& Decode, const Encoder& Encode, const unsigned char*& In,
                                       const unsigned char* StretchEnd, const unsigned char* InEnd, unsigned char*& Out,
                                       unsigned char* OutEnd, TTranscodeStop Full)
{
    while (In < StretchEnd) {
        std::uint32_t cp = 0;
        const std::size_t inLength = Decode.Decode(In, InEnd, cp);
        const std::size_t outLength = inLength == 0 ? 0 : Encode.Length(cp);
        if (outLength == 0)
            return TTranscodeStop::Unusual;
        if (static_cast<std::size_t>(OutEnd - Out) < outLength)
            return Full;
        Encode.Write(Out, cp, outLength);
        In += inLength;
        Out += outLength;
    }
    return TTranscodeStop::Done;
}

// Blocks: a policy with Run<Src, Dst, Limit>(In, InEnd, Out, OutEnd), which converts whole
// blocks of code units that are all at most Limit and stops at the first block that is not, and
// Utf8ToUtf16<Big>, Utf16ToUtf8<Big>, Latin1ToUtf8 and Utf8ToLatin1, which may convert stretches
// of mixed text.
template <class Blocks, class Decoder, class Encoder>
TTranscodeStop Transcode(const unsigned char*& In, const unsigned char* InEnd, unsigned char*& Out,
                         unsigned char* OutEnd)
{
    constexpr std::uint32_t limit =
        Decoder::BlockLimit < Encoder::BlockLimit ? Decoder::BlockLimit : Encoder::BlockLimit;
    const unsigned char* in = In;
    unsigned char* out = Out;
    TTranscodeStop stop = TTranscodeStop::Done;
    while (in < InEnd) {
        if constexpr (limit != 0)
            Blocks::template Run<Decoder::Unit, Encoder::Unit, limit>(in, InEnd, out, OutEnd);
        if constexpr (std::is_same_v<Decoder, TDecodeUtf8> &&
                      (Encoder::Unit == TUnit::U16Le || Encoder::Unit == TUnit::U16Be))
            Blocks::template Utf8ToUtf16<Encoder::Unit == TUnit::U16Be>(in, InEnd, out, OutEnd);
        if constexpr ((Decoder::Unit == TUnit::U16Le || Decoder::Unit == TUnit::U16Be) &&
                      std::is_same_v<Encoder, TEncodeUtf8>)
            Blocks::template Utf16ToUtf8<Decoder::Unit == TUnit::U16Be>(in, InEnd, out, OutEnd);
        if constexpr (std::is_same_v<Decoder, TDecodeLatin1> && std::is_same_v<Encoder, TEncodeUtf8>)
            Blocks::Latin1ToUtf8(in, InEnd, out, OutEnd);
        if constexpr (std::is_same_v<Decoder, TDecodeUtf8> && std::is_same_v<Encoder, TEncodeLatin1>)
            Blocks::Utf8ToLatin1(in, InEnd, out, OutEnd);
        // One character at a time over a block's length before the blocks try again.
        stop = CharacterStretch(Decoder{}, Encoder{}, in, InEnd - in > 32 ? in + 32 : InEnd, InEnd, out, OutEnd,
                                TTranscodeStop::OutputFull);
        if (stop != TTranscodeStop::Done)
            break;
    }
    In = in;
    Out = out;
    return stop;
}

template <class Blocks, class Decoder>
TTranscodeProc TranscoderTo(TUnicodeForm To)
{
    switch (To) {
    case TUnicodeForm::Utf8:
        return &Transcode<Blocks, Decoder, TEncodeUtf8>;
    case TUnicodeForm::Utf16Le:
        return &Transcode<Blocks, Decoder, TEncodeUtf16<false>>;
    case TUnicodeForm::Utf16Be:
        return &Transcode<Blocks, Decoder, TEncodeUtf16<true>>;
    case TUnicodeForm::Utf32Le:
        return &Transcode<Blocks, Decoder, TEncodeUtf32<false>>;
    case TUnicodeForm::Utf32Be:
        return &Transcode<Blocks, Decoder, TEncodeUtf32<true>>;
    case TUnicodeForm::Latin1:
        return &Transcode<Blocks, Decoder, TEncodeLatin1>;
    case TUnicodeForm::Ascii:
        return &Transcode<Blocks, Decoder, TEncodeAscii>;
    default:
        return nullptr;
    }
}

template <class Blocks>
TTranscodeProc TranscoderFor(TUnicodeForm From, TUnicodeForm To)
{
    switch (From) {
    case TUnicodeForm::Utf8:
        return TranscoderTo<Blocks, TDecodeUtf8>(To);
    case TUnicodeForm::Utf16Le:
        return TranscoderTo<Blocks, TDecodeUtf16<false>>(To);
    case TUnicodeForm::Utf16Be:
        return TranscoderTo<Blocks, TDecodeUtf16<true>>(To);
    case TUnicodeForm::Utf32Le:
        return TranscoderTo<Blocks, TDecodeUtf32<false>>(To);
    case TUnicodeForm::Utf32Be:
        return TranscoderTo<Blocks, TDecodeUtf32<true>>(To);
    case TUnicodeForm::Latin1:
        return TranscoderTo<Blocks, TDecodeLatin1>(To);
    case TUnicodeForm::Ascii:
        return TranscoderTo<Blocks, TDecodeAscii>(To);
    default:
        return nullptr;
    }
}

} // namespace
} // namespace lmviconv
