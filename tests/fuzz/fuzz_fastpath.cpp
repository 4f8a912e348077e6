// The conversion library's fast path against the C library's path over the same library, call
// by call (tests/common/IconvDifferential.h): the same results, errno, consumed and written
// bytes for every pair of fast encodings and every translation, whatever the buffer sizes.
//
// Input: byte 0 picks the source, byte 1 the target, byte 2 the translation, whether the rest
// is taken as it is or as code points (three bytes each) written in the source encoding by the
// C library, and whether those stay within Latin-1; bytes 3 to 10 seed the buffer sizes and
// resets; the rest is the text.

#include "tests/common/IconvOnce.h"
#include "tests/fuzz/FuzzLibrary.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    static const lmvtest::TLibiconvEntries library = lmvtest::LoadLibraryBesideFuzzer();
    if (Size < 11)
        return 0;
    const auto& names = lmvtest::FastPathNames();
    const std::string& from = names[Data[0] % names.size()];
    const std::string& to = names[Data[1] % names.size()];
    static const char* const suffixes[] = {"", "//IGNORE", "//TRANSLIT"};
    const std::string suffix = suffixes[Data[2] % 3];
    std::uint64_t seed = 0;
    std::memcpy(&seed, Data + 3, sizeof seed);
    std::string text(reinterpret_cast<const char*>(Data) + 11, Size - 11);
    if (Data[2] / 3 % 2) {
        // Sound text: mostly short code points, so that every range turns up.
        std::string unicode;
        for (std::size_t i = 0; i + 3 <= text.size(); i += 3) {
            std::uint32_t cp = static_cast<std::uint8_t>(text[i]) | static_cast<std::uint8_t>(text[i + 1]) << 8 |
                               static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[i + 2])) << 16;
            cp = cp % (Data[2] / 6 % 2 ? 0x100 : text[i + 2] & 1 ? 0x110000 : text[i + 1] & 1 ? 0x800 : 0x80);
            for (int b = 0; b < 4; ++b)
                unicode += static_cast<char>(cp >> (8 * b));
        }
        const std::optional<std::string> sound = lmvtest::IconvOnce("UTF-32LE", from, unicode, 1);
        if (!sound)
            return 0;
        text = *sound;
    }
    const std::string problem = lmvtest::CompareWithCLibraryPath(library, from, to, suffix, text, seed);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
