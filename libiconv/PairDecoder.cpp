#include "libiconv/PairDecoder.h"

#include "libiconv/IconvResults.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <strings.h>

namespace lmviconv {

namespace {

// The code points between the two steps, in the C library's own form.
const char* const Codepoints = "WCHAR_T";

} // namespace

bool TPairDecoder::Needed(const char* FromCode) noexcept
{
    std::size_t length = std::strlen(FromCode);
    while (length > 0 && FromCode[length - 1] == '/')
        --length;
    for (const char* name : {"EUC-JISX0213", "SHIFT_JISX0213", "SHIFTJISX0213"})
        if (length == std::strlen(name) && strncasecmp(FromCode, name, length) == 0)
            return true;
    return false;
}

bool TPairDecoder::Open(const char* ToCode, const char* FromCode, bool Ignore) noexcept
{
    Close();
    const std::string decoded = std::string(Codepoints) + (Ignore ? "//IGNORE" : "");
    Decoder = iconv_open(decoded.c_str(), FromCode);
    if (Decoder == Closed)
        return false;
    Encoder = iconv_open(ToCode, Codepoints);
    if (Encoder == Closed) {
        const int error = errno;
        Close();
        errno = error;
        return false;
    }
    return true;
}

int TPairDecoder::Close() noexcept
{
    int result = 0;
    for (iconv_t* step : {&Decoder, &Encoder})
        if (*step != Closed) {
            if (iconv_close(*step) != 0)
                result = -1;
            *step = Closed;
        }
    KeptSize = 0;
    return result;
}

std::size_t TPairDecoder::Reset() noexcept
{
    KeptSize = 0;
    iconv(Decoder, nullptr, nullptr, nullptr, nullptr);
    return iconv(Encoder, nullptr, nullptr, nullptr, nullptr);
}

bool TPairDecoder::EncodeKept(char** OutBuf, std::size_t* OutLeft, bool& Dropped) noexcept
{
    if (KeptSize == 0)
        return true;
    char* kept = Kept.data();
    std::size_t keptLeft = KeptSize;
    const std::size_t result = iconv(Encoder, &kept, &keptLeft, OutBuf, OutLeft);
    if (result == Failure && errno == EILSEQ && keptLeft < KeptSize)
        Dropped = true; // "IGNORE" dropped what the target cannot hold
    std::memmove(Kept.data(), kept, keptLeft);
    KeptSize = keptLeft;
    return KeptSize == 0;
}

std::size_t TPairDecoder::Decode(char** InBuf, std::size_t* InLeft, std::size_t Room, std::size_t& Result,
                                 int& Error) noexcept
{
    char* codes = Codes.data();
    std::size_t codesLeft = Room;
    Result = iconv(Decoder, InBuf, InLeft, &codes, &codesLeft);
    Error = errno;
    // The kept second character of a pair, if any, goes out now and the decoder forgets it.
    codesLeft += Unit;
    iconv(Decoder, nullptr, nullptr, &codes, &codesLeft);
    return static_cast<std::size_t>(codes - Codes.data());
}

std::size_t TPairDecoder::Flush(char** OutBuf, std::size_t* OutLeft) noexcept
{
    bool dropped = false;
    if (!EncodeKept(OutBuf, OutLeft, dropped)) {
        errno = E2BIG;
        return Failure;
    }
    return iconv(Encoder, nullptr, nullptr, OutBuf, OutLeft);
}

std::size_t TPairDecoder::Convert(char** InBuf, std::size_t* InLeft, char** OutBuf, std::size_t* OutLeft) noexcept
{
    if (Decoder == Closed) {
        errno = EBADF;
        return Failure;
    }
    if (OutBuf == nullptr || *OutBuf == nullptr || OutLeft == nullptr) {
        if (InBuf == nullptr || *InBuf == nullptr)
            return Reset();
        errno = E2BIG;
        return Failure;
    }
    if (InBuf == nullptr || *InBuf == nullptr || InLeft == nullptr)
        return Flush(OutBuf, OutLeft);

    bool dropped = false;
    if (!EncodeKept(OutBuf, OutLeft, dropped)) {
        errno = E2BIG;
        return Failure;
    }
    for (;;) {
        char* const inStart = *InBuf;
        const std::size_t inLeftStart = *InLeft;
        // About as many code points as the output could take, so that little is decoded twice.
        const std::size_t room =
            std::clamp<std::size_t>((*OutLeft + 1) * Unit, 2 * Unit, Codes.size() - Unit) / Unit * Unit;
        std::size_t decodeResult = 0;
        int decodeError = 0;
        const std::size_t decoded = Decode(InBuf, InLeft, room, decodeResult, decodeError);

        char* codes = Codes.data();
        std::size_t codesLeft = decoded;
        const std::size_t encodeResult = iconv(Encoder, &codes, &codesLeft, OutBuf, OutLeft);
        const int encodeError = errno;
        if (codesLeft == 0 && encodeResult == Failure && encodeError == EILSEQ)
            dropped = true;

        if (codesLeft > 0) {
            // The encoder stopped (output full, or a character the target cannot hold): decode
            // again just what it took, to leave the input at the right place. A pair cut there
            // leaves its second character to keep.
            const std::size_t taken = decoded - codesLeft;
            *InBuf = inStart;
            *InLeft = inLeftStart;
            std::size_t result = 0;
            int error = 0;
            const std::size_t again = Decode(InBuf, InLeft, taken, result, error);
            KeptSize = std::min(again - std::min(again, taken), Kept.size());
            std::memcpy(Kept.data(), Codes.data() + taken, KeptSize);
            errno = encodeError == EILSEQ || encodeError == EINVAL ? encodeError : E2BIG;
            return Failure;
        }
        if (decodeResult != Failure) {
            if (dropped) {
                errno = EILSEQ;
                return Failure;
            }
            return decodeResult;
        }
        const bool progress = *InBuf != inStart;
        if (decodeError == E2BIG && progress)
            continue; // Codes was full: there is more to decode
        if (decodeError == EILSEQ && progress && *InLeft > 0)
            continue; // "IGNORE" dropped a bad sequence and went on
        errno = decodeError;
        return Failure;
    }
}

} // namespace lmviconv
