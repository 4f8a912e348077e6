#include "libiconv/SystemConversion.h"

#include "libiconv/IconvResults.h"

#include <cerrno>

namespace lmviconv {

namespace {

// Makes Locale the calling thread's locale while it lives; the program's own stays as it is.
class TThreadLocale {
public:
    explicit TThreadLocale(locale_t Locale) noexcept
        : Previous(Locale != static_cast<locale_t>(nullptr) ? uselocale(Locale) : static_cast<locale_t>(nullptr))
    {
    }
    ~TThreadLocale()
    {
        if (Previous != static_cast<locale_t>(nullptr))
            uselocale(Previous);
    }
    TThreadLocale(const TThreadLocale&) = delete;
    TThreadLocale& operator=(const TThreadLocale&) = delete;

private:
    locale_t Previous;
};

} // namespace

bool TSystemConversion::Open(const char* ToCode, const char* FromCode, bool IgnoreAsked) noexcept
{
    Close();
    Ignore = IgnoreAsked;
    Guard = TCodeSpaceGuard();
    UsePairs = TPairDecoder::Needed(FromCode);
    if (UsePairs) {
        if (!Pairs.Open(ToCode, FromCode, Ignore))
            return false;
    } else {
        Handle = iconv_open(ToCode, FromCode);
        if (Handle == Closed)
            return false;
        Guard.Learn(FromCode);
    }
    // C.UTF-8 carries the full transliteration tables in every Debian installation; where it is
    // missing the caller's locale serves, as before.
    Locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return true;
}

int TSystemConversion::Close() noexcept
{
    int result = 0;
    if (UsePairs)
        result = Pairs.Close();
    else if (Handle != Closed)
        result = iconv_close(Handle);
    Handle = Closed;
    UsePairs = false;
    if (Locale != static_cast<locale_t>(nullptr))
        freelocale(Locale);
    Locale = static_cast<locale_t>(nullptr);
    return result;
}

std::size_t TSystemConversion::Step(char** InBuf, std::size_t* InLeft, char** OutBuf, std::size_t* OutLeft) noexcept
{
    if (UsePairs)
        return Pairs.Convert(InBuf, InLeft, OutBuf, OutLeft);
    return iconv(Handle, InBuf, InLeft, OutBuf, OutLeft);
}

std::size_t TSystemConversion::Convert(char** InBuf, std::size_t* InLeft, char** OutBuf, std::size_t* OutLeft) noexcept
{
    if (!UsePairs && Handle == Closed) {
        errno = EBADF;
        return Failure;
    }
    const TThreadLocale locale(Locale);
    if (!Guard.Active() || InBuf == nullptr || *InBuf == nullptr || InLeft == nullptr)
        return Step(InBuf, InLeft, OutBuf, OutLeft);

    // The C library sees the input up to the first value above U+10FFFF, which is then invalid
    // input: the failure, or with "IGNORE" dropped.
    const auto* data = reinterpret_cast<const unsigned char*>(*InBuf);
    const std::size_t visible = Guard.FindFirst(data, *InLeft);
    const std::size_t hidden = *InLeft - visible;
    if (hidden == 0)
        return Step(InBuf, InLeft, OutBuf, OutLeft);
    *InLeft = visible;
    std::size_t result = 0;
    int error = 0;
    if (visible > 0) {
        result = Step(InBuf, InLeft, OutBuf, OutLeft);
        error = errno;
    }
    const std::size_t unread = *InLeft;
    *InLeft += hidden;
    // What the C library left of the visible part (when it reports it incomplete) is the start
    // of a sequence cut short by the invalid one.
    if (result == Failure && error != EINVAL) {
        errno = error;
        return result;
    }
    if (Ignore) {
        const std::size_t skip =
            unread + Guard.Length(reinterpret_cast<const unsigned char*>(*InBuf) + unread, hidden);
        *InBuf += skip;
        *InLeft -= skip;
    }
    errno = EILSEQ;
    return Failure;
}

} // namespace lmviconv
