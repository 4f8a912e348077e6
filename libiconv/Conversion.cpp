#include "libiconv/Exports.h"
#include "libiconv/FastPath.h"
#include "libiconv/IconvResults.h"
#include "libiconv/SystemConversion.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <new>
#include <strings.h>

namespace {

void* const InvalidDescriptor = reinterpret_cast<void*>(static_cast<std::uintptr_t>(-1));
using lmviconv::Failure;

struct TDescriptor {
    lmviconv::TSystemConversion System;
    // The target asked for "IGNORE": see libiconv() for why that needs a loop here.
    bool Ignore = false;
    // Between the Unicode forms, ISO-8859-1 and ASCII; nothing for other pairs.
    std::unique_ptr<lmviconv::TFastPath> Fast = nullptr;
};

bool IsSeparator(char c) noexcept
{
    return c == '/' || c == ',';
}

bool IsIgnoreToken(const char* begin, const char* end) noexcept
{
    while (begin < end && (*begin == ' ' || *begin == '\t'))
        ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t'))
        --end;
    return end - begin == 6 && strncasecmp(begin, "IGNORE", 6) == 0;
}

// The C library reads a code as "charset/part/suffixes": whatever follows the second slash is a
// list of suffixes separated by '/' or ','. Only the target's suffixes count.
bool HasIgnoreSuffix(const char* tocode) noexcept
{
    const char* p = tocode;
    int slashes = 0;
    for (; *p && slashes < 2; ++p)
        if (*p == '/')
            ++slashes;
    if (slashes < 2)
        return false;
    while (*p) {
        const char* end = p;
        while (*end && !IsSeparator(*end))
            ++end;
        if (IsIgnoreToken(p, end))
            return true;
        p = *end ? end + 1 : end;
    }
    return false;
}

TDescriptor* FromHandle(void* cd) noexcept
{
    if (cd == nullptr || cd == InvalidDescriptor) {
        errno = EBADF;
        return nullptr;
    }
    return static_cast<TDescriptor*>(cd);
}

} // namespace

LUMIVA_ICONV_EXPORT void* libiconv_open(const char* tocode, const char* fromcode)
{
    if (tocode == nullptr || fromcode == nullptr) {
        errno = EINVAL;
        return InvalidDescriptor;
    }
    auto* descriptor = new (std::nothrow) TDescriptor;
    if (descriptor == nullptr) {
        errno = ENOMEM;
        return InvalidDescriptor;
    }
    descriptor->Ignore = HasIgnoreSuffix(tocode);
    if (!descriptor->System.Open(tocode, fromcode, descriptor->Ignore)) {
        const int error = errno;
        delete descriptor;
        errno = error;
        return InvalidDescriptor;
    }
    descriptor->Fast = lmviconv::TFastPath::Open(tocode, fromcode);
    return descriptor;
}

// With "//IGNORE" glibc drops what it cannot convert, yet its iconv() still reports -1 with
// EILSEQ once it has dropped something, and (seen with glibc 2.36) when it drops a character the
// target cannot hold it returns at the end of its internal step buffer, a few kilobytes further,
// with the rest of the input untouched although nothing stands in the way. Callers of libiconv
// judge only by how far the pointers moved, so the call is repeated while it keeps consuming.
// Like GNU libiconv, the result stays -1 with EILSEQ when something was dropped, unless the last
// call failed for another reason (E2BIG, EINVAL), which is then the one reported.
static std::size_t ConvertThroughCLibrary(void* cd, char** inbuf, std::size_t* inbytesleft, char** outbuf,
                                          std::size_t* outbytesleft)
{
    auto* descriptor = static_cast<TDescriptor*>(cd);
    std::size_t result = descriptor->System.Convert(inbuf, inbytesleft, outbuf, outbytesleft);
    if (!descriptor->Ignore || inbuf == nullptr || *inbuf == nullptr || inbytesleft == nullptr)
        return result;
    bool skipped = false;
    while (result == Failure && errno == EILSEQ && *inbytesleft > 0) {
        skipped = true;
        const char* const before = *inbuf;
        result = descriptor->System.Convert(inbuf, inbytesleft, outbuf, outbytesleft);
        if (result == Failure && errno == EILSEQ && *inbuf == before)
            break; // stuck: nothing more to gain
    }
    if (result == Failure)
        return result;
    if (skipped) {
        errno = EILSEQ;
        return Failure;
    }
    return result;
}

LUMIVA_ICONV_EXPORT std::size_t libiconv(void* cd, char** inbuf, std::size_t* inbytesleft, char** outbuf,
                                         std::size_t* outbytesleft)
{
    TDescriptor* descriptor = FromHandle(cd);
    if (descriptor == nullptr)
        return Failure;
    if (descriptor->Fast)
        return descriptor->Fast->Convert(inbuf, inbytesleft, outbuf, outbytesleft, ConvertThroughCLibrary, descriptor);
    return ConvertThroughCLibrary(descriptor, inbuf, inbytesleft, outbuf, outbytesleft);
}

LUMIVA_ICONV_EXPORT int libiconv_close(void* cd)
{
    TDescriptor* descriptor = FromHandle(cd);
    if (descriptor == nullptr)
        return -1;
    const int result = descriptor->System.Close();
    delete descriptor;
    return result;
}
