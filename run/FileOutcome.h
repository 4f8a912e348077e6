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

// What one file of a run came to, for those who show it file by file rather than as log lines.
struct TFileOutcome {
    // The source as the run names it (full path), and as it is shown: the path below the folder
    // given, or the full path for a file given by name.
    std::string Source;
    std::string Name;
    std::uint64_t Size = 0;
    // The encoding the file was read with (given or detected); empty when none was found.
    std::string Encoding;
    // The detector's readings when the file was detected, best first.
    std::vector<TEncodingGuess> Guesses;
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
// Fills Kind, Text and the position from a file's failure.
void DescribeFailure(const EConvertError& Error, TFileOutcome& Outcome);
// Whether a file read as Encoding would come out unchanged: Encoding is an alias of ToEncoding or
// TargetEncoding (Groups: the engine's alias groups) and the file carries exactly the signature
// the run writes.
bool ReadsAsTarget(const TStringList& Groups, const std::string& Encoding, const std::string& ToEncoding,
                   const std::string& TargetEncoding, const std::string& Signature, const std::string& Source);
// The size of a file, 0 when it cannot be told.
std::uint64_t FileSizeOf(const std::string& FileName);
