#pragma once

#include "detect/EncodingDetector.h"

#include <cstdint>
#include <string>
#include <vector>

// What became of one file of a run, for a report that scripts read.
struct TFileOutcome {
    std::string Source;
    std::string Destination; // empty when nothing was to be written (a check)
    std::string Encoding;    // given, or detected
    std::vector<TEncodingGuess> Guesses; // when detecting: the readings weighed, best first
    std::string Result;      // "ok", "failed", "skipped", "already" or "refused"
    std::string Error;       // for a failure: the error line
    std::string Where;       // and what stopped it and where, when known
    std::uint64_t BytesRead = 0;
    std::uint64_t BytesWritten = 0;
};
