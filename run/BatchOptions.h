#pragma once

#include "run/ConvertThread.h"
#include "run/SourcesFile.h"
#include "settings/ConvertOptions.h"
#include "settings/ConvertSpecs.h"
#include "settings/FolderOptions.h"
#include "util/Exception.h"
#include "util/StringList.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Exit statuses of lumiva-batch.
inline constexpr int ExitCompleted = 0;    // completed, no error and no warning
inline constexpr int ExitWithProblems = 1; // completed with errors or warnings
inline constexpr int ExitNotCompleted = 2; // stopped or canceled
inline constexpr int ExitCannotStart = 3;  // the conversion library or a list file could not be read
inline constexpr int ExitUsage = 64;       // bad usage
inline constexpr std::int32_t MaxJobs = 256;

int BatchExitStatus(TConvertState State, std::int32_t ErrorCount, std::int32_t WarningCount);

// The command line of lumiva-batch, checked with the main window's rules and messages.
class TBatchOptions {
public:
    class EUsageError : public Exception {
    public:
        using Exception::Exception;
    };

    // One source of file names, in command-line order.
    struct TSource {
        bool IsList = false; // a list file read by the List command's rules
        std::string Name;
        bool IsSources = false; // a sources file: an encoding and a path a line
    };

    TBatchOptions();

    // Args without the program name. Raises EUsageError with "<option>: <message>" or a
    // plain description; later options overrule earlier ones.
    void Parse(const std::vector<std::string>& Given);
    // Refuses an encoding name that IsValid (the engine's check) does not accept, with the
    // encoding boxes' message.
    void CheckEncodings(const std::function<bool(const std::string&)>& IsValid);
    // The names and the entries of the list and sources files, in order, the encodings of the
    // sources files' entries kept in SourceEncodings; raises Exception when a list file cannot
    // be read, EUsageError for a line of a sources file that cannot be taken. Names from
    // --files-from come after them, read from Input when it is "-".
    TStringList FileList(int Input = 0);

    static std::string HelpText();
    // The usage line and where to read more, for standard error.
    static std::string UsageText();
    // "lumiva-batch (Lumiva) <version>" on a line.
    static std::string VersionText();
    // A message as the standard error report shows it: a full stop added after a last
    // character that sorts after it.
    static std::string ReportText(const std::string& Message);

    TConvertOptions Options;
    TConvertSpecs Specs;
    TFolderOptions Folders;
    std::int32_t Answer = 2; // the overwrite question's button index: No
    bool Help = false;
    bool CheckOnly = false; // read every file through the conversion, write nothing
    bool Version = false;
    bool ListEncodings = false; // print the encoding names, one per line
    std::vector<TSource> Sources;
    std::vector<TSourceEntry> SourceEncodings;

    // Reads standard input: no FILE operand and no --list or --files-from, or the one operand "-".
    bool ReadsStandardInput() const;
    // The results go to a stream (standard output or -o) instead of files placed by the run.
    bool Streams() const { return ReadsStandardInput() || ToStdout || !OutputFile.empty(); }

    std::string OutputFile;    // -o: the one result goes there
    bool ToStdout = false;     // every result to standard output, one after another
    std::string FilesFrom;     // names one per line (or NUL-separated); "-" is standard input
    bool NullSeparated = false;
    std::string ReportFile;    // JSON Lines, one object per file
    bool Quiet = false;        // the log shows only failed files and the summary
    std::int32_t Jobs = 1;     // files converted at once (--jobs 0 is taken as the processors)
    bool CompletionScript = false;

private:
    // The engine's check of encoding names, once CheckEncodings has run.
    std::function<bool(const std::string&)> EncodingValid;
    void SetTarget(const std::string& Option, const std::string& Value);
    void CheckCombinations() const;
};
