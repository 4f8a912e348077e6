#include "detect/LibraryGuesses.h"

#include <uchardet/uchardet.h>
#include <unicode/ucsdet.h>

#include <climits>
#include <memory>

namespace {

struct TUchardetDeleter {
    void operator()(uchardet* Handle) const noexcept { uchardet_delete(Handle); }
};
struct TIcuDeleter {
    void operator()(UCharsetDetector* Handle) const noexcept { ucsdet_close(Handle); }
};

std::string AskUchardet(std::string_view Sample)
{
    const std::unique_ptr<uchardet, TUchardetDeleter> detector(uchardet_new());
    if (!detector)
        return {};
    if (uchardet_handle_data(detector.get(), Sample.data(), Sample.size()) != 0)
        return {};
    uchardet_data_end(detector.get());
    const char* name = uchardet_get_charset(detector.get());
    return name != nullptr ? std::string(name) : std::string();
}

std::vector<std::string> AskIcu(std::string_view Sample)
{
    std::vector<std::string> names;
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UCharsetDetector, TIcuDeleter> detector(ucsdet_open(&status));
    if (U_FAILURE(status) || Sample.size() > INT_MAX)
        return names;
    ucsdet_setText(detector.get(), Sample.data(), static_cast<int32_t>(Sample.size()), &status);
    int32_t count = 0;
    const UCharsetMatch** matches = ucsdet_detectAll(detector.get(), &count, &status);
    if (U_FAILURE(status))
        return names;
    for (int32_t i = 0; i < count; ++i) {
        UErrorCode matchStatus = U_ZERO_ERROR;
        if (ucsdet_getConfidence(matches[i], &matchStatus) < TLibraryGuesses::MinIcuConfidence)
            break;
        const char* name = ucsdet_getName(matches[i], &matchStatus);
        if (U_SUCCESS(matchStatus) && name != nullptr)
            names.emplace_back(name);
    }
    return names;
}

} // namespace

TLibraryGuesses GuessWithLibraries(std::string_view Sample)
{
    return {AskUchardet(Sample), AskIcu(Sample)};
}
