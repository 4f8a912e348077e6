// The conversion library's fast path for the legacy encodings of one family (LUMIVA_FUZZ_FAMILY:
// 1 single-byte, 2 double-byte) against the C library's path over the same library, call by
// call (tests/common/IconvDifferential.h), both ways with each Unicode form and translation.
//
// Input: byte 0 picks the encoding, byte 1 the Unicode form, byte 2 the translation, the
// direction and whether the rest is taken as it is or first made sound (what the C library reads
// in the encoding, dropping the rest); bytes 3 to 10 seed the buffer sizes and resets; the rest
// is the text, in the legacy encoding.

#include "tests/common/IconvOnce.h"
#include "tests/fuzz/FuzzLibrary.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const std::vector<std::string>& Encodings()
{
#if LUMIVA_FUZZ_FAMILY == 1
    static const std::vector<std::string> names = {"CP1251",     "WINDOWS-1252", "ISO-8859-2", "ISO-8859-7", "KOI8-R",
                                                   "KOI8-U",     "CP866",        "CP437",      "MACINTOSH",  "ISO646-DE",
                                                   "CP1256",     "ISO-8859-8",   "CP1250",     "MAC-CYRILLIC"};
#else
    static const std::vector<std::string> names = {"CP932", "SHIFT_JIS", "EUC-JP", "GBK",  "GB18030", "CP949",
                                                   "EUC-KR", "BIG5",     "CP950",  "JOHAB", "EUC-CN",  "CP936"};
#endif
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    static const lmvtest::TLibiconvEntries library = lmvtest::LoadLibraryBesideFuzzer();
    if (Size < 11)
        return 0;
    static const char* const forms[] = {"UTF-8", "UTF-16", "UTF-16LE", "UTF-16BE", "UTF-32", "UTF-32LE", "UTF-32BE"};
    static const char* const suffixes[] = {"", "//IGNORE", "//TRANSLIT"};
    const std::string& encoding = Encodings()[Data[0] % Encodings().size()];
    const std::string form = forms[Data[1] % std::size(forms)];
    const std::string suffix = suffixes[Data[2] % 3];
    const bool fromLegacy = Data[2] / 3 % 2 == 0;
    const bool sound = Data[2] / 6 % 2 == 1;
    std::uint64_t seed = 0;
    std::memcpy(&seed, Data + 3, sizeof seed);
    std::string text(reinterpret_cast<const char*>(Data) + 11, Size - 11);
    if (sound || !fromLegacy) {
        const std::optional<std::string> unicode = lmvtest::IconvOnce(encoding, "UTF-32LE", text, 1);
        if (!unicode)
            return 0;
        const std::optional<std::string> back = lmvtest::IconvOnce("UTF-32LE", fromLegacy ? encoding : form, *unicode, 1);
        if (!back)
            return 0;
        text = *back;
        // A character the encoding lacks now and then, for the translations.
        if (!fromLegacy && Data[2] / 6 % 2 == 1 && form == "UTF-8")
            text.insert(text.size() / 2, "\xE2\x82\xAC\xE4\xB8\xAD\xF0\x9F\x98\x80");
    }
    const std::string problem = fromLegacy
                                    ? lmvtest::CompareWithCLibraryPath(library, encoding, form, suffix, text, seed)
                                    : lmvtest::CompareWithCLibraryPath(library, form, encoding, suffix, text, seed);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
