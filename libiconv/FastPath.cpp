#include "libiconv/FastPath.h"

#include "libiconv/IconvResults.h"
#include "libiconv/LegacyTableCache.h"

#include <cerrno>
#include <cstring>
#include <new>

namespace lmviconv {

namespace {

constexpr bool BigEndianHost = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;

bool IsPlain(TUnicodeForm Form)
{
    return Form == TUnicodeForm::Utf16 || Form == TUnicodeForm::Utf32;
}

std::size_t UnitOf(TUnicodeForm Form)
{
    return Form == TUnicodeForm::Utf32 ? 4 : 2;
}

bool StartsWithMark(TUnicodeForm Form, const unsigned char* Start, std::size_t Length)
{
    if (Form == TUnicodeForm::Utf16)
        return Length >= 2 && ((Start[0] == 0xFF && Start[1] == 0xFE) || (Start[0] == 0xFE && Start[1] == 0xFF));
    return Length >= 4 && (std::memcmp(Start, "\xFF\xFE\0\0", 4) == 0 || std::memcmp(Start, "\0\0\xFE\xFF", 4) == 0);
}

// The plain forms write in the host's byte order, after a mark.
TUnicodeForm HostOrder(TUnicodeForm Form)
{
    if (Form == TUnicodeForm::Utf16)
        return BigEndianHost ? TUnicodeForm::Utf16Be : TUnicodeForm::Utf16Le;
    if (Form == TUnicodeForm::Utf32)
        return BigEndianHost ? TUnicodeForm::Utf32Be : TUnicodeForm::Utf32Le;
    return Form;
}

TUnicodeForm OtherOrder(TUnicodeForm Form)
{
    if (Form == TUnicodeForm::Utf16)
        return BigEndianHost ? TUnicodeForm::Utf16Le : TUnicodeForm::Utf16Be;
    return BigEndianHost ? TUnicodeForm::Utf32Le : TUnicodeForm::Utf32Be;
}

} // namespace

std::unique_ptr<TFastPath> TFastPath::Open(const char* ToCode, const char* FromCode)
{
    // Out of memory here only costs the fast path: nothing may leave through the C entry points.
    try {
        const std::optional<TUnicodeForm> to = UnicodeFormOf(ToCode);
        const std::optional<TUnicodeForm> from = UnicodeFormOf(FromCode);
        if (to && from)
            return std::make_unique<TFastPath>(*from, *to);
        // A legacy encoding meets UTF-8, UTF-16 or UTF-32 (not Latin-1 or ASCII).
        const auto pairs = [](std::optional<TUnicodeForm> Form) {
            return Form && *Form != TUnicodeForm::Latin1 && *Form != TUnicodeForm::Ascii;
        };
        if (pairs(to) && !from) {
            if (const TLegacyTables* tables = LegacyTablesFor(FromCode))
                return std::make_unique<TFastPath>(TUnicodeForm::Legacy, *to, tables);
        } else if (pairs(from) && !to) {
            if (const TLegacyTables* tables = LegacyTablesFor(ToCode))
                return std::make_unique<TFastPath>(*from, TUnicodeForm::Legacy, tables);
        }
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

TFastPath::TFastPath(TUnicodeForm From, TUnicodeForm To, const TLegacyTables* Legacy)
    : From(From), To(To), Legacy(Legacy)
{
    TrySettle();
}

// The byte order of a plain source, from the stream's first unit as the C library reads it: a
// mark in the other order than the host's switches to that order for good (even a reset and a
// mark in the host's order do not switch back), otherwise the host's order.
TUnicodeForm TFastPath::SourceOrder(const unsigned char* Start, std::size_t Length) const
{
    const bool swapped = Swapped || (StartsWithMark(From, Start, Length) && (Start[0] == 0xFF) == BigEndianHost);
    return !swapped ? HostOrder(From) : From == TUnicodeForm::Utf16 ? OtherOrder(TUnicodeForm::Utf16) : OtherOrder(TUnicodeForm::Utf32);
}

bool TFastPath::TrySettle()
{
    if (IsPlain(From) && HeadLength < UnitOf(From))
        return false;
    if (IsPlain(To) && !Produced)
        return false;
    const TUnicodeForm from = IsPlain(From) ? SourceOrder(Head, HeadLength) : From;
    if (Legacy != nullptr)
        LegacyTranscode = FindLegacyTranscoder(From == TUnicodeForm::Legacy, From == TUnicodeForm::Legacy ? HostOrder(To) : from);
    else
        Transcode = FindTranscoder(from, HostOrder(To));
    return Settled();
}

std::size_t TFastPath::Delegate(char** InBuf, std::size_t* InBytesLeft, char** OutBuf, std::size_t* OutBytesLeft,
                                TCLibraryPath CLibrary, void* Context)
{
    if (Settled())
        return CLibrary(Context, InBuf, InBytesLeft, OutBuf, OutBytesLeft);
    // The C library settles a plain source's byte order on the first call that has a whole unit.
    // When that call fails before writing a character, whether the decision sticks depends on
    // which of its steps failed (a UTF-16 decoder reads a mark again on the next call after a
    // full output), and a later mark may swap the order for good: the C library then keeps
    // this descriptor's work.
    const bool deciding = IsPlain(From) && HeadLength == 0 && *InBytesLeft >= UnitOf(From);
    if (deciding) {
        HeadLength = UnitOf(From);
        std::memcpy(Head, *InBuf, HeadLength);
    }
    const char* const out = *OutBuf;
    const std::size_t result = CLibrary(Context, InBuf, InBytesLeft, OutBuf, OutBytesLeft);
    const int error = errno;
    // The first bytes a plain target gets are its mark, not a character.
    std::size_t written = static_cast<std::size_t>(*OutBuf - out);
    if (IsPlain(To) && !Produced)
        written = written > UnitOf(To) ? written - UnitOf(To) : 0;
    Produced = Produced || *OutBuf != out;
    if (deciding && result == static_cast<std::size_t>(-1) && written == 0)
        Undecided = true;
    if (deciding && SourceOrder(Head, HeadLength) != HostOrder(From))
        Swapped = true;
    if (!Undecided)
        TrySettle();
    errno = error;
    return result;
}

std::size_t TFastPath::Convert(char** InBuf, std::size_t* InBytesLeft, char** OutBuf, std::size_t* OutBytesLeft,
                               TCLibraryPath CLibrary, void* Context)
{
    if (InBuf == nullptr || *InBuf == nullptr) {
        // A reset: the C library reads and writes a mark again (but keeps a swapped order).
        if (IsPlain(From) || IsPlain(To)) {
            Transcode = nullptr;
            LegacyTranscode = nullptr;
            HeadLength = 0;
            Produced = false;
        }
        return CLibrary(Context, InBuf, InBytesLeft, OutBuf, OutBytesLeft);
    }
    if (InBytesLeft == nullptr || OutBuf == nullptr || *OutBuf == nullptr || OutBytesLeft == nullptr)
        return CLibrary(Context, InBuf, InBytesLeft, OutBuf, OutBytesLeft);

    if (Undecided)
        return CLibrary(Context, InBuf, InBytesLeft, OutBuf, OutBytesLeft);
    // The whole first call goes to the C library: with a plain target, what it writes in that call
    // can depend on where the call ends (it writes a second mark when it transliterates in the
    // call that wrote the first one).
    if (!Settled())
        return Delegate(InBuf, InBytesLeft, OutBuf, OutBytesLeft, CLibrary, Context);

    const unsigned char* in = reinterpret_cast<const unsigned char*>(*InBuf);
    unsigned char* out = reinterpret_cast<unsigned char*>(*OutBuf);
    const TTranscodeStop stop = LegacyTranscode != nullptr
                                    ? LegacyTranscode(*Legacy, in, in + *InBytesLeft, out, out + *OutBytesLeft)
                                    : Transcode(in, in + *InBytesLeft, out, out + *OutBytesLeft);
    *InBytesLeft -= static_cast<std::size_t>(in - reinterpret_cast<const unsigned char*>(*InBuf));
    *OutBytesLeft -= static_cast<std::size_t>(out - reinterpret_cast<unsigned char*>(*OutBuf));
    *InBuf = const_cast<char*>(reinterpret_cast<const char*>(in));
    *OutBuf = reinterpret_cast<char*>(out);
    switch (stop) {
    case TTranscodeStop::Done:
        return 0;
    case TTranscodeStop::OutputFull:
        errno = E2BIG;
        return Failure;
    default:
        return CLibrary(Context, InBuf, InBytesLeft, OutBuf, OutBytesLeft);
    }
}

} // namespace lmviconv
