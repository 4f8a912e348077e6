#pragma once

#include "run/FileOutcome.h"
#include "util/FileDescriptor.h"

#include <chrono>
#include <string>

// The --report file of lumiva-batch: JSON Lines, one object per file in run order, written a few
// lines at a time (at most 64 KiB or a tenth of a second behind the files) and whole at the close,
// so that a stopped run keeps what it did without one write per file. Names are JSON strings; a byte that is
// not part of valid UTF-8 is written as the lone surrogate U+DC00 + the byte (Python's
// "surrogateescape"), so that every name comes back byte for byte.
class TRunReport {
public:
    // Creates or empties Name; Ok() tells whether that worked.
    explicit TRunReport(const std::string& Name);
    // Writes to Fd: standard output, say, left open when Fd does not own it.
    explicit TRunReport(TFd Fd);
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
    void Write();

    TFd Fd;
    bool Failed = false;
    std::string Pending;
    std::chrono::steady_clock::time_point Written = std::chrono::steady_clock::now();
};
