#pragma once

#include "libiconv/FastTranscoder.h"
#include "libiconv/UnicodeFormNames.h"

#include <cstddef>
#include <memory>

namespace lmviconv {

// The fast path of one conversion descriptor between two Unicode forms, ISO-8859-1 or ASCII, or
// between a legacy encoding with tables and UTF-8, UTF-16 or UTF-32.
// It converts what the C library would convert without question and hands everything else
// (invalid or incomplete input, characters the target cannot hold, flushes) to the C library's
// path over the same descriptor, which then reports exactly what it always does. The plain
// UTF-16 and UTF-32 keep a state in the C library (the byte order read from the source's mark,
// the mark written before the first output): until that state is settled, the C library does
// whole calls, and the fast path then follows the byte order it settled on.
class TFastPath {
public:
    // The C library's path over the same descriptor, with libiconv's arguments.
    using TCLibraryPath = std::size_t (*)(void* Context, char** InBuf, std::size_t* InBytesLeft, char** OutBuf,
                                          std::size_t* OutBytesLeft);

    // Nothing when either code names an encoding without a fast path.
    static std::unique_ptr<TFastPath> Open(const char* ToCode, const char* FromCode);

    // Legacy: the tables of the side that is TUnicodeForm::Legacy, if any.
    TFastPath(TUnicodeForm From, TUnicodeForm To, const TLegacyTables* Legacy = nullptr);

    // libiconv's contract.
    std::size_t Convert(char** InBuf, std::size_t* InBytesLeft, char** OutBuf, std::size_t* OutBytesLeft,
                        TCLibraryPath CLibrary, void* Context);

private:
    std::size_t Delegate(char** InBuf, std::size_t* InBytesLeft, char** OutBuf, std::size_t* OutBytesLeft,
                         TCLibraryPath CLibrary, void* Context);
    TUnicodeForm SourceOrder(const unsigned char* Start, std::size_t Length) const;
    bool TrySettle();

    bool Settled() const { return Transcode != nullptr || LegacyTranscode != nullptr; }

    TUnicodeForm From;
    TUnicodeForm To;
    const TLegacyTables* Legacy;
    // Set once the C library's state is known; the plain forms lose it on a reset.
    TTranscodeProc Transcode = nullptr;
    TLegacyProc LegacyTranscode = nullptr;
    // Since the last reset: the first unit the C library saw of a plain source, whether it wrote.
    unsigned char Head[4] = {};
    std::size_t HeadLength = 0;
    bool Produced = false;
    // The C library's state cannot be told from outside any more: it does all the work.
    bool Undecided = false;
    // A plain source's mark in the other order than the host's was seen: that order stays.
    bool Swapped = false;
};

} // namespace lmviconv
