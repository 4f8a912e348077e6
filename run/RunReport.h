#pragma once

#include "run/FileOutcome.h"
#include "util/FileDescriptor.h"

#include <string>

// The --report file of lumiva-batch: JSON Lines, one object per file in run order, written as
// each file ends so that a stopped run keeps what it did. Names are JSON strings; a byte that is
// not part of valid UTF-8 is written as the lone surrogate U+DC00 + the byte (Python's
// "surrogateescape"), so that every name comes back byte for byte.
class TRunReport {
public:
    // Creates or empties Name; Ok() tells whether that worked.
    explicit TRunReport(const std::string& Name);
    ~TRunReport();
    TRunReport(const TRunReport&) = delete;
    TRunReport& operator=(const TRunReport&) = delete;

    void Add(const TFileOutcome& Outcome);
    // False once the file could not be made or a line could not be written.
    bool Ok() const noexcept { return Fd.Get() >= 0 && !Failed; }
    // Closes the file; false when anything failed.
    bool Close();

    // One object, without the line end.
    static std::string Line(const TFileOutcome& Outcome);

private:
    TFd Fd;
    bool Failed = false;
};
