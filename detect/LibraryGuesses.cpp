#include "detect/LibraryGuesses.h"

#include <uchardet/uchardet.h>
#include <unicode/ucsdet.h>

#include <memory>

namespace {

struct TUchardetDeleter {
    void operator()(uchardet* Handle) const noexcept { uchardet_delete(Handle); }
};
struct TIcuDeleter {
    void operator()(UCharsetDetector* Handle) const noexcept { ucsdet_close(Handle); }
};

} // namespace

std::string GuessWithUchardet(std::string_view Sample)
{
    Sample = Sample.substr(0, LibrarySampleLimit);
    const std::unique_ptr<uchardet, TUchardetDeleter> detector(uchardet_new());
    if (!detector)
        return {};
    if (uchardet_handle_data(detector.get(), Sample.data(), Sample.size()) != 0)
        return {};
    uchardet_data_end(detector.get());
    const char* name = uchardet_get_charset(detector.get());
    return name != nullptr ? std::string(name) : std::string();
}

std::string GuessWithIcu(std::string_view Sample)
{
    Sample = Sample.substr(0, LibrarySampleLimit);
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UCharsetDetector, TIcuDeleter> detector(ucsdet_open(&status));
    if (U_FAILURE(status))
        return {};
    ucsdet_setText(detector.get(), Sample.data(), static_cast<int32_t>(Sample.size()), &status);
    const UCharsetMatch* match = ucsdet_detect(detector.get(), &status);
    if (U_FAILURE(status) || match == nullptr || ucsdet_getConfidence(match, &status) < MinIcuConfidence)
        return {};
    const char* name = ucsdet_getName(match, &status);
    return U_SUCCESS(status) && name != nullptr ? std::string(name) : std::string();
}
