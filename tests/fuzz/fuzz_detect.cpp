// The detection step on any bytes. Whatever it answers must be a name of the engine's list, and
// a text it names must decode by that name without error; a refusal is always allowed.
//
// Input: byte 0 picks whether the rest is a whole file or a sample cut from a longer one, and the
// locale that breaks ties; the rest is the sample.

#include "detect/EncodingDetector.h"
#include "engine/Lumiva.h"
#include "tests/common/IconvOnce.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

TLumiva* Engine = nullptr;
const char* const Locales[] = {"C.UTF-8", "ru_RU.UTF-8", "pl_PL.UTF-8", "ja_JP.UTF-8"};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Engine = new TLumiva();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    if (Size < 1)
        return 0;
    const bool complete = (Data[0] & 1) == 0;
    const char* locale = Locales[(Data[0] >> 1) % 4];
    const std::string sample(reinterpret_cast<const char*>(Data + 1), Size - 1);
    TEncodingDetector detector(*Engine, locale);
    const std::string answer = detector.Detect(sample, complete);
    if (answer.empty())
        return 0;
    if (!Engine->NameList().Find(answer)) {
        std::fprintf(stderr, "answer %s is not in the engine's list\n", answer.c_str());
        std::abort();
    }
    if (complete && !lmvtest::IconvOnce(answer, "UTF-32LE", sample)) {
        std::fprintf(stderr, "the sample does not decode as %s\n", answer.c_str());
        std::abort();
    }
    return 0;
}
