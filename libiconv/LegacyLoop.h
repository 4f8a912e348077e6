#pragma once

// The converters between a legacy encoding and a Unicode form: the common loop's shape, with
// the encoding's tables. Included by the SSE2, AVX2 and AVX-512 units after their blocks;
// internal linkage, as the loop's.

#include "libiconv/LegacyTables.h"
#include "libiconv/TranscodeLoop.h"

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
        return cp == 0 ? 0 : 2;
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
            return 0;
        const unsigned bytes = Tables.Encode[cp];
        return bytes == 0 ? 0 : bytes < 0x200 ? 1 : 2;
    }
    void Write(unsigned char* p, std::uint32_t cp, std::size_t length) const
    {
        if (cp < 0x80 && Tables.AsciiSame) {
            p[0] = static_cast<unsigned char>(cp);
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
            }
            if constexpr (toLegacy && std::is_same_v<Decoder, TDecodeUtf8> &&
                          requires { Blocks::Utf8ToSingle(Tables, in, InEnd, out, OutEnd); }) {
                if (!Tables.DoubleByte)
                    Blocks::Utf8ToSingle(Tables, in, InEnd, out, OutEnd);
            }
        }
        // One character at a time over a block's length (or a little more, to end a pair) before
        // the blocks try again.
        const unsigned char* const stretchEnd = InEnd - in > 64 ? in + 64 : InEnd;
        while (in < stretchEnd) {
            std::uint32_t cp = 0;
            const std::size_t inLength = decoder.Decode(in, InEnd, cp);
            const std::size_t outLength = inLength == 0 ? 0 : encoder.Length(cp);
            if (outLength == 0) {
                stop = TTranscodeStop::Unusual;
                break;
            }
            // Some of the C library's converters write part of a character that does not fit
            // before they report the output full: they report it here too.
            if (static_cast<std::size_t>(OutEnd - out) < outLength) {
                stop = TTranscodeStop::Unusual;
                break;
            }
            encoder.Write(out, cp, outLength);
            in += inLength;
            out += outLength;
        }
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
