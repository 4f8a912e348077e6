#pragma once

// The reference for the pipeline: the C library's iconv over a whole text at once. Header-only,
// so that the fuzzers (a separate build) use it too.

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>

#include <iconv.h>

namespace lmvtest {

// iconv over the whole text, then its reset; Translation 1 and 2 add "//IGNORE" and
// "//TRANSLIT". With //IGNORE the C library reports a skipped sequence at the end of an internal
// step, not at the end of the input, so the call is repeated while it goes on consuming. Nothing
// when the pair cannot be opened or the conversion stops for good before the end of the text.
inline std::optional<std::string> IconvOnce(const std::string& From, const std::string& To, const std::string& Text,
                                            std::int32_t Translation = 0)
{
    static const char* const Suffixes[] = {"", "//IGNORE", "//TRANSLIT"};
    const std::string target = To + Suffixes[Translation];
    const iconv_t cd = ::iconv_open(target.c_str(), From.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(Text.size() * 4 + 256, '\0');
    char* in = const_cast<char*>(Text.data());
    std::size_t inLeft = Text.size();
    std::size_t done = 0;
    bool ok = true;
    int stalls = 0; // full output and no input taken, again and again: the JIS X 0213 decoders
    for (bool reset = false; ok;) {
        char* const before = in;
        char* outPtr = out.data() + done;
        std::size_t outLeft = out.size() - done;
        const std::size_t result = reset ? ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft)
                                         : ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        const bool produced = out.size() - outLeft > done;
        done = out.size() - outLeft;
        if (result != static_cast<std::size_t>(-1) ||
            (!reset && Translation == 1 && error == EILSEQ && inLeft == 0)) {
            if (reset)
                break;
            reset = true;
        } else if (error == E2BIG) {
            stalls = in == before ? stalls + 1 : 0;
            ok = stalls < 8;
            out.resize(out.size() * 2);
        } else if (!reset && Translation == 1 && error == EILSEQ && (in != before || produced)) {
            continue;
        } else {
            ok = false;
        }
    }
    ::iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.resize(done);
    return out;
}

} // namespace lmvtest
