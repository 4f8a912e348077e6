#pragma once

#include "detect/EncodingDetector.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class EConvertError;
class TStringList;

enum class TOutcomeKind : std::uint8_t {
    Ok,
    AlreadyInTarget,
    Converted,
    InvalidBytes,
    Unwritable,
    Incomplete,
    Undetected,
    Skipped,
    Failed,
};

// What became of one file of a run: for a report that scripts read, and for those who show a run
// file by file rather than as log lines.
struct TFileOutcome {
    std::string Source;
    std::string Destination; // empty when nothing was to be written (a check)
    std::string Encoding;    // given, or detected; empty when none was found
    std::vector<TEncodingGuess> Guesses; // when detecting: the readings weighed, best first
    std::string Result;      // "ok", "failed", "skipped", "already" or "refused"
    std::string Error;       // for a failure: the error line
    std::string Where;       // and what stopped it and where, when known
    std::uint64_t BytesRead = 0;
    std::uint64_t BytesWritten = 0;

    // As shown: the path below the folder given, or the full path for a file given by name.
    std::string Name;
    std::uint64_t Size = 0;
    TOutcomeKind Kind = TOutcomeKind::Ok;
    // "OK", "Invalid byte sequence at line 3, column 7", ...
    std::string Text;
    std::uint64_t Line = 0;
    std::uint64_t Column = 0;
    // The first byte the conversion could not take, when the content is to blame.
    std::optional<std::uint64_t> Offset;
};

// The plain outcome texts.
std::string OutcomeText(TOutcomeKind Kind);
// True for the kinds that stop a file from converting.
bool IsProblem(TOutcomeKind Kind);
// Fills Kind, Text and the position from the failure in Error and Where.
void DescribeFailure(TFileOutcome& Outcome);
// The same from the failure itself, Error and Where filled first.
void DescribeFailure(const EConvertError& Error, TFileOutcome& Outcome);
// Whether a file read as Encoding would come out unchanged: Encoding is an alias of ToEncoding or
// TargetEncoding (Groups: the engine's alias groups) and the file carries exactly the signature
// the run writes.
bool ReadsAsTarget(const TStringList& Groups, const std::string& Encoding, const std::string& ToEncoding,
                   const std::string& TargetEncoding, const std::string& Signature, const std::string& Source);
// The size of a file, 0 when it cannot be told.
std::uint64_t FileSizeOf(const std::string& FileName);
