#pragma once

// The converters' signatures, apart from the code that picks them (FastTranscoder.h), so that the
// loops that make the converters do not include what includes them.

namespace lmviconv {

struct TLegacyTables;

enum class TTranscodeStop {
    Done,       // all input converted
    OutputFull, // the next character is sound but its bytes do not fit
    Unusual,    // the next bytes are invalid, incomplete, or the target cannot hold the character
};

// Converts whole characters from In to Out and advances both past what it converted. Only
// input that the C library converts without any question passes; everything else stops it.
using TTranscodeProc = TTranscodeStop (*)(const unsigned char*& In, const unsigned char* InEnd, unsigned char*& Out,
                                          unsigned char* OutEnd);

// The same between a legacy encoding with these tables and a Unicode form whose byte order is
// known.
using TLegacyProc = TTranscodeStop (*)(const TLegacyTables& Tables, const unsigned char*& In, const unsigned char* InEnd,
                                       unsigned char*& Out, unsigned char* OutEnd);

} // namespace lmviconv
