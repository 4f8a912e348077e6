#include "detect/LibraryGuesses.h"

#include "detect/DetectionLibraries.h"

#include <memory>

namespace {

struct TUchardetDeleter {
    decltype(&uchardet_delete) Delete;
    void operator()(uchardet* Handle) const noexcept { Delete(Handle); }
};
struct TIcuDeleter {
    decltype(&ucsdet_close) Close;
    void operator()(UCharsetDetector* Handle) const noexcept { Close(Handle); }
};

} // namespace

std::string GuessWithUchardet(std::string_view Sample)
{
    Sample = Sample.substr(0, LibrarySampleLimit);
    const TDetectionLibraries& library = DetectionLibraries();
    const std::unique_ptr<uchardet, TUchardetDeleter> detector(library.UchardetNew(),
                                                               TUchardetDeleter{library.UchardetDelete});
    if (!detector)
        return {};
    if (library.UchardetHandleData(detector.get(), Sample.data(), Sample.size()) != 0)
        return {};
    library.UchardetDataEnd(detector.get());
    const char* name = library.UchardetGetCharset(detector.get());
    return name != nullptr ? std::string(name) : std::string();
}

std::string GuessWithIcu(std::string_view Sample)
{
    Sample = Sample.substr(0, LibrarySampleLimit);
    const TDetectionLibraries& library = DetectionLibraries();
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UCharsetDetector, TIcuDeleter> detector(library.CsdetOpen(&status),
                                                                  TIcuDeleter{library.CsdetClose});
    if (U_FAILURE(status))
        return {};
    library.CsdetSetText(detector.get(), Sample.data(), static_cast<int32_t>(Sample.size()), &status);
    const UCharsetMatch* match = library.CsdetDetect(detector.get(), &status);
    if (U_FAILURE(status) || match == nullptr || library.CsdetGetConfidence(match, &status) < MinIcuConfidence)
        return {};
    const char* name = library.CsdetGetName(match, &status);
    return U_SUCCESS(status) && name != nullptr ? std::string(name) : std::string();
}
