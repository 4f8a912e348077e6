#pragma once

#include <array>
#include <cstddef>
#include <iconv.h>

namespace lmviconv {

// A conversion from EUC-JISX0213 or SHIFT_JISX0213 in two steps of the C library's iconv: the
// decoder into code points held here, then the encoder into the caller's buffer. The C library's
// decoders for these keep the second character of a pair when their output fills after the
// first, and from then on write it again and again without taking input, until a flush. Here the
// decoder is flushed after every call, so it never keeps anything, and code points the encoder
// had no room for stay here for the next call.
class TPairDecoder {
public:
    // True when FromCode names one of those decoders.
    static bool Needed(const char* FromCode) noexcept;

    TPairDecoder() = default;
    ~TPairDecoder() { Close(); }
    TPairDecoder(const TPairDecoder&) = delete;
    TPairDecoder& operator=(const TPairDecoder&) = delete;

    // As iconv_open; Ignore: ToCode asks for "IGNORE", which the decoding step needs too.
    bool Open(const char* ToCode, const char* FromCode, bool Ignore) noexcept;
    // As iconv on one descriptor.
    std::size_t Convert(char** InBuf, std::size_t* InLeft, char** OutBuf, std::size_t* OutLeft) noexcept;
    int Close() noexcept;

private:
    static constexpr std::size_t Unit = 4;

    std::size_t Reset() noexcept;
    std::size_t Flush(char** OutBuf, std::size_t* OutLeft) noexcept;
    // Encodes the code points kept from an earlier call; false when some stay.
    bool EncodeKept(char** OutBuf, std::size_t* OutLeft, bool& Dropped) noexcept;
    // Decodes from In into Codes, then flushes the decoder there; the bytes written.
    std::size_t Decode(char** InBuf, std::size_t* InLeft, std::size_t Room, std::size_t& Result, int& Error) noexcept;

    iconv_t Decoder = reinterpret_cast<iconv_t>(-1);
    iconv_t Encoder = reinterpret_cast<iconv_t>(-1);
    // Room for a few code points: at most the second of a pair is kept.
    std::array<char, 4 * Unit> Kept{};
    std::size_t KeptSize = 0;
    std::array<char, 1024 * Unit> Codes{};
};

} // namespace lmviconv
