#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

// Runs lumiva-batch (or another program) as a child process, with the faults a test wants to put
// in its way, and reads the run log it prints.
namespace lmvfault {

struct TLaunch {
    std::string Program;           // a path; empty: lumiva-batch
    std::vector<std::string> Args; // after the program name
    std::string TmpDir;            // $TMPDIR of the child; empty: as inherited
    std::string WorkDir;           // current directory of the child; empty: as inherited
    long long FileSizeLimit = -1;  // RLIMIT_FSIZE in bytes with SIGXFSZ ignored; -1: none
    long long MemoryLimit = -1;    // RLIMIT_AS in bytes; -1: none
    bool DiscardOutput = false;    // standard output and error to /dev/null instead of pipes
};

struct TOutcome {
    bool Exited = false; // ended by exit(), not by a signal
    int ExitCode = -1;
    int Signal = 0;
    std::string Out;
    std::string Err;

    // For failure messages: status, standard error and the log.
    std::string Describe() const;
};

// One started lumiva-batch. The destructor kills and reaps a process that still runs.
class TBatchProcess {
public:
    explicit TBatchProcess(const TLaunch& Launch);
    ~TBatchProcess();
    TBatchProcess(const TBatchProcess&) = delete;
    TBatchProcess& operator=(const TBatchProcess&) = delete;

    // Reads the output until the process ends or Milliseconds pass; true when it has ended.
    bool WaitFor(int Milliseconds);
    void Kill();
    // Waits for the end and returns everything.
    TOutcome Finish();

private:
    void Pump(int Milliseconds);
    void Reap();

    pid_t Pid = -1;
    int PidFd = -1;
    int OutFd = -1;
    int ErrFd = -1;
    bool Ended = false;
    TOutcome Result;
};

TOutcome RunBatch(const TLaunch& Launch);

// A run log split into its parts.
struct TFileEntry {
    std::string Source;
    std::string Destination;
    std::vector<std::string> Notes;    // other plain lines, such as "Created backup file: ..."
    std::vector<std::string> Errors;   // without the "[Error] " prefix
    std::vector<std::string> Warnings; // without the "[Warning] " prefix
    bool Succeeded = false;
    bool Failed = false;
};

struct TRunLog {
    bool WellFormed = false;            // every line ends in CR LF and the blocks are complete
    std::vector<std::string> Preamble;  // lines before the first file
    std::vector<std::string> RunErrors; // error lines outside a file's block
    std::vector<TFileEntry> Files;
    std::string Summary; // the last line
};

TRunLog ParseLog(const std::string& Out);
// The parsed log of a run; a test failure when it is not well formed.
TRunLog CheckedLog(const TOutcome& Outcome);

// The one file entry of Log whose source is Source; a test failure when there is not exactly one.
using TNames = std::vector<std::string>;

// The per-file failure messages the fault tests expect in the log.
inline const std::string OpenError = "Cannot open source file";
inline const std::string ConvertError = "Cannot convert character encoding";
inline const std::string TempWriteError = "Cannot write to temporary file";
inline const std::string CopyError = "Cannot copy temporary file to destination file";
inline const std::string BackupError = "Cannot backup source file";

const TFileEntry* FindEntry(const TRunLog& Log, const std::string& Source);
// Checks (with gtest) that the file's entry succeeded, or failed with exactly Error, and warned not.
void ExpectEntry(const TRunLog& Log, const std::string& Source, const std::string& Error, const TOutcome& Outcome);

std::string LumivaBatch();

} // namespace lmvfault
