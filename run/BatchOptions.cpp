#include "run/BatchOptions.h"

#include "util/NameMasks.h"
#include "run/BatchOptionTable.h"
#include "settings/AutoDetect.h"
#include "settings/OptionRules.h"
#include "util/IntegerText.h"
#include "util/Mysysutils.h"
#include "util/Version.h"

#include "util/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <cstdio>
#include <limits>
#include <unistd.h>

namespace {

constexpr const char* SelectAnItemInTheList = SelectAnItemInTheListMessage;

[[noreturn]] void UsageError(const std::string& Option, const std::string& Message)
{
    throw TBatchOptions::EUsageError(Option + ": " + Message);
}

// A rule of the main window's; its message makes the usage error.
void Check(const std::string& Option, const std::string& Message)
{
    if (!Message.empty())
        UsageError(Option, Message);
}

// A value not among Allowed: the window's "Select an item" would not tell what to type.
[[noreturn]] void NotAllowed(const std::string& Option, const std::string& Text,
                             const std::vector<std::string>& Allowed)
{
    std::string message = "\"" + Text + "\" is not one of the values allowed:";
    const char* separator = " ";
    for (const std::string& value : Allowed) {
        message += separator + value;
        separator = ", ";
    }
    UsageError(Option, message);
}

// The positions of the options dialog's lists: UTF-8 has 0, 1, 2; UTF-16 and UTF-32 have 0, 1, 3, 4.
std::int32_t UtfChoice(const std::string& Option, const std::string& Text, bool Utf8)
{
    const std::vector<std::int32_t> listed = Utf8 ? std::vector<std::int32_t>{usDefault, usWithoutBom, usWithBom}
                                                  : std::vector<std::int32_t>{usDefault, usWithoutBom, usLeWithBom,
                                                                              usBeWithBom};
    std::int32_t value = 0;
    if (TryStrToInt(Text, value) && std::find(listed.begin(), listed.end(), value) != listed.end())
        return value;
    std::vector<std::string> allowed;
    for (const std::int32_t item : listed)
        allowed.push_back(std::to_string(item));
    NotAllowed(Option, Text, allowed);
}

std::int32_t Choice(const std::string& Option, const std::string& Text, std::initializer_list<const char*> Words)
{
    std::int32_t index = 0;
    for (const char* word : Words) {
        if (SameText(Text, word))
            return index;
        ++index;
    }
    NotAllowed(Option, Text, std::vector<std::string>(Words.begin(), Words.end()));
}

// Decimal digits only, as the window's box takes them.
std::int32_t Count(const std::string& Option, const std::string& Text, std::int32_t Least, std::int32_t Most)
{
    std::int64_t value = 0;
    bool digits = !Text.empty() && Text.size() <= 12;
    for (const char c : Text) {
        digits = digits && c >= '0' && c <= '9';
        if (digits)
            value = value * 10 + (c - '0');
    }
    if (!digits || value < Least || value > Most)
        UsageError(Option, "Set a number from " + std::to_string(Least) + " to " + std::to_string(Most));
    return static_cast<std::int32_t>(value);
}

// Short flags run together ("-c0") as if written apart; other arguments as they are.
std::vector<std::string> SplitFlags(const std::vector<std::string>& Args)
{
    std::vector<std::string> split;
    bool optionsEnded = false;
    for (const std::string& arg : Args) {
        optionsEnded = optionsEnded || arg == "--";
        const auto isFlag = [](char Letter) {
            const TBatchOption* option = FindBatchOption(std::string("-") + Letter);
            return option && !option->Value;
        };
        if (optionsEnded || arg.size() < 3 || arg[0] != '-' || arg[1] == '-' || !isFlag(arg[1]) ||
            !std::all_of(arg.begin() + 1, arg.end(), isFlag)) {
            split.push_back(arg);
            continue;
        }
        for (std::size_t k = 1; k < arg.size(); ++k)
            split.push_back(std::string("-") + arg[k]);
    }
    return split;
}

// The names in the file Name (or in Fd when not negative), each ended by Separator; empty ones
// are left out. Raises Exception when it cannot be read.
void ReadNames(int Fd, const std::string& Name, char Separator, TStringList& Files)
{
    const TFd own(Fd < 0 ? ::open(Name.c_str(), O_RDONLY | O_CLOEXEC) : Fd, Fd < 0);
    if (own.Get() < 0)
        throw Exception("Cannot open file \"" + Name + "\"");
    std::string pending;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(own.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw Exception("Cannot read file \"" + Name + "\"");
        if (got == 0)
            break;
        pending.append(buffer, static_cast<std::size_t>(got));
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find(Separator, start)) != std::string::npos; start = end + 1)
            if (end > start)
                Files.Add(pending.substr(start, end - start));
        pending.erase(0, start);
    }
    if (!pending.empty())
        Files.Add(pending);
}

void CheckEncoding(const std::string& Option, const std::string& Name,
                   const std::function<bool(const std::string&)>& IsValid)
{
    if (!IsValid(Name))
        UsageError(Option, SelectAnItemInTheList);
}

} // namespace

int BatchExitStatus(TConvertState State, std::int32_t ErrorCount, std::int32_t WarningCount)
{
    if (State != csCompleted)
        return ExitNotCompleted;
    return ErrorCount > 0 || WarningCount > 0 ? ExitWithProblems : ExitCompleted;
}

TBatchOptions::TBatchOptions()
    : Options(DefaultConvertOptions()),
      Specs(DefaultConvertSpecs())
{
}

void TBatchOptions::Parse(const std::vector<std::string>& Given)
{
    const std::vector<std::string> args = SplitFlags(Given);
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            Sources.push_back({false, arg});
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string option = arg;
        std::string value;
        bool hasValue = false;
        if (const std::size_t equal = arg.find('='); arg.rfind("--", 0) == 0 && equal != std::string::npos) {
            option = arg.substr(0, equal);
            value = arg.substr(equal + 1);
            hasValue = true;
        } else if (arg[1] != '-' && arg.size() > 2) {
            // "-fNAME" as iconv takes it.
            option = arg.substr(0, 2);
            value = arg.substr(2);
            hasValue = true;
        }
        const TBatchOption* known = FindBatchOption(option);
        if (!known)
            throw EUsageError("unknown option " + option);
        const auto flag = [&] {
            if (hasValue)
                throw EUsageError(option + ": takes no value");
        };
        const auto takeValue = [&]() -> const std::string& {
            if (!hasValue) {
                if (i + 1 >= args.size())
                    throw EUsageError(option + ": missing value");
                value = args[++i];
                hasValue = true;
            }
            return value;
        };
        if (known->Value)
            takeValue();
        else
            flag();
        const std::string name = OptionName(*known);

        if (name == "--help") {
            Help = true;
        } else if (name == "--version") {
            Version = true;
        } else if (name == "--list-encodings") {
            ListEncodings = true;
        } else if (name == "--bash-completion") {
            CompletionScript = true;
        } else if (name == "--from") {
            Options.FromEncoding = value;
        } else if (name == "--to") {
            SetTarget(option, value);
        } else if (name == "--translation") {
            Options.Translation = Choice(option, value, {"none", "ignore", "transliterate"});
        } else if (name == "-c") {
            Options.Translation = trIgnore;
        } else if (name == "--buffer-size") {
            Options.BufferSize = Count(option, value, 1, std::numeric_limits<std::int32_t>::max());
        } else if (name == "--output-dir") {
            // The window needs an absolute path; a shell user means the current directory.
            const std::string folder = value.empty() || HasDrive(value) ? value : ExpandFileName(value);
            Check(option, CheckOutputDirectory(folder));
            Options.Output = omDirectory;
            Options.OutputDirectory = folder;
        } else if (name == "--prefix") {
            Check(option, CheckPrefix(value));
            Options.Output = omPrefix;
            Options.OutputPrefix = value;
        } else if (name == "--overwrite") {
            Options.Output = omOverwrite;
        } else if (name == "--backup-prefix") {
            Check(option, CheckPrefix(value));
            Options.BackupSrcFiles = true;
            Options.BackupPrefix = value;
        } else if (name == "--no-backup") {
            Options.BackupSrcFiles = false;
        } else if (name == "--utf8") {
            Specs.Utf8 = UtfChoice(option, value, true);
        } else if (name == "--utf16") {
            Specs.Utf16 = UtfChoice(option, value, false);
        } else if (name == "--utf32") {
            Specs.Utf32 = UtfChoice(option, value, false);
        } else if (name == "--answer") {
            Answer = Choice(option, value, {"yes", "yes-to-all", "no", "no-to-all", "cancel"});
        } else if (name == "--no-subfolders") {
            Folders.IncludeSubfolders = false;
        } else if (name == "--include") {
            Check(option, CheckNameMasks(value, false));
            Folders.FileNames = value;
        } else if (name == "--exclude") {
            Check(option, CheckNameMasks(value, true));
            Folders.SkipNames = value;
        } else if (name == "--all-files") {
            Folders.SkipNonText = false;
        } else if (name == "--keep-time") {
            Folders.KeepTime = true;
        } else if (name == "--check") {
            CheckOnly = true;
        } else if (name == "--list") {
            if (value.empty())
                UsageError(option, "Set text");
            Sources.push_back({true, value});
        } else if (name == "--files-from") {
            if (value.empty())
                UsageError(option, "Set text");
            if (!FilesFrom.empty())
                UsageError(option, "given twice");
            FilesFrom = value;
        } else if (name == "--null") {
            NullSeparated = true;
        } else if (name == "--output") {
            if (value.empty() || value == "-")
                UsageError(option, "Set a file name (standard output is the default)");
            OutputFile = value;
        } else if (name == "--stdout") {
            ToStdout = true;
        } else if (name == "--report") {
            if (value.empty())
                UsageError(option, "Set text");
            ReportFile = value;
        } else if (name == "--quiet") {
            Quiet = true;
        } else if (name == "--jobs") {
            Jobs = Count(option, value, 0, MaxJobs);
            if (Jobs == 0)
                Jobs = static_cast<std::int32_t>(std::clamp<long>(::sysconf(_SC_NPROCESSORS_ONLN), 1, MaxJobs));
        } else if (name == "--sources") {
            if (value.empty())
                UsageError(option, "Set text");
            Sources.push_back({false, value, true});
        } else {
            throw EUsageError("unknown option " + option);
        }
    }
    CheckCombinations();
}

void TBatchOptions::SetTarget(const std::string& Option, const std::string& Value)
{
    // iconv's suffixes: NAME//TRANSLIT, NAME//IGNORE (also both, the last one deciding).
    const std::size_t slashes = Value.find("//");
    Options.ToEncoding = Value.substr(0, slashes);
    if (slashes == std::string::npos)
        return;
    std::string rest = Value.substr(slashes + 2);
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find_first_of("/,", start);
        if (end == std::string::npos)
            end = rest.size();
        const std::string suffix = rest.substr(start, end - start);
        if (SameText(suffix, "TRANSLIT"))
            Options.Translation = trTransliterate;
        else if (SameText(suffix, "IGNORE"))
            Options.Translation = trIgnore;
        else if (!suffix.empty())
            UsageError(Option, "\"//" + suffix + "\" is not one of the suffixes allowed: //TRANSLIT, //IGNORE");
        start = end + 1;
    }
}

void TBatchOptions::CheckCombinations() const
{
    const bool readsStdin = std::any_of(Sources.begin(), Sources.end(),
                                   [](const TSource& Source) { return !Source.IsList && !Source.IsSources && Source.Name == "-"; });
    if (readsStdin && (Sources.size() > 1 || !FilesFrom.empty()))
        throw EUsageError("-: standard input can only be the one FILE");
    if (NullSeparated && FilesFrom.empty())
        throw EUsageError("--null: only with --files-from");
    // Standard output that carries converted text has no room for the report.
    if (ReportFile == "-" && (ToStdout || (ReadsStandardInput() && OutputFile.empty())))
        throw EUsageError("--report -: standard output carries the converted text; name a file");
    if (!OutputFile.empty()) {
        if (ToStdout)
            throw EUsageError("--output: not with --stdout");
        if (!FilesFrom.empty() || Sources.size() > 1 || (Sources.size() == 1 && (Sources[0].IsList || Sources[0].IsSources)))
            throw EUsageError("--output: takes the result of one FILE or of standard input");
    }
}

bool TBatchOptions::ReadsStandardInput() const
{
    if (!FilesFrom.empty())
        return false;
    return Sources.empty() ||
           (Sources.size() == 1 && !Sources[0].IsList && !Sources[0].IsSources && Sources[0].Name == "-");
}

void TBatchOptions::CheckEncodings(const std::function<bool(const std::string&)>& IsValid)
{
    EncodingValid = IsValid;
    if (SameText(Options.FromEncoding, "auto") || IsAutoDetect(Options.FromEncoding))
        Options.FromEncoding = AutoDetectEncoding;
    else
        CheckEncoding("--from", Options.FromEncoding, IsValid);
    CheckEncoding("--to", Options.ToEncoding, IsValid);
}

TStringList TBatchOptions::FileList(int Input)
{
    TStringList files;
    SourceEncodings.clear();
    for (const TSource& source : Sources) {
        if (source.IsSources) {
            try {
                for (TSourceEntry& entry : TSourcesFile::Read(source.Name, EncodingValid)) {
                    files.Add(entry.Path);
                    SourceEncodings.push_back(std::move(entry));
                }
            } catch (const TSourcesFile::EBadLine& e) {
                UsageError("--sources " + source.Name, e.what());
            }
            continue;
        }
        if (!source.IsList) {
            files.Add(source.Name);
            continue;
        }
        TStringList list;
        list.LoadFromFile(source.Name);
        for (const std::string& entry : list)
            if (!entry.empty())
                files.Add(entry);
    }
    if (!FilesFrom.empty())
        ReadNames(FilesFrom == "-" ? Input : -1, FilesFrom, NullSeparated ? '\0' : '\n', files);
    return files;
}

std::string TBatchOptions::ReportText(const std::string& Message)
{
    return WithFullStop(Message);
}

std::string TBatchOptions::VersionText()
{
    return std::string("lumiva-batch (Lumiva) ") + LumivaVersion() + "\n";
}

std::string TBatchOptions::UsageText()
{
    return "Usage: lumiva-batch [OPTIONS] FILE...\n"
           "   or: lumiva-batch [OPTIONS] < INPUT > OUTPUT\n"
           "Try 'lumiva-batch --help' for more information.\n";
}

std::string TBatchOptions::HelpText()
{
    return "Usage: lumiva-batch [OPTIONS] FILE...\n"
           "   or: lumiva-batch [OPTIONS] [-] [-o OUTPUT]\n"
           "Converts text files between character encodings, one after another, as one run of\n"
           "Lumiva, and prints the run's log to standard output (lines end in CR LF).\n"
           "With no FILE (and no --list or --files-from), or with FILE -, converts standard\n"
           "input to standard output, as iconv does; errors then go to standard error.\n"
           "\n"
           "Options:\n" +
           BatchOptionHelp() +
           "\n"
           "Options may also be written --option=VALUE, and short ones -fVALUE; \"--\" ends the\n"
           "options. Of --output-dir, --prefix and --overwrite the last one given decides; so\n"
           "do --backup-prefix and --no-backup. FILE operands, --list and --sources files and\n"
           "--files-from names are taken in that order; relative names, also those in a list\n"
           "file, are taken from the current directory. A FILE or list entry that is a folder\n"
           "stands for the files in it and in its subfolders, in name order; with --output-dir\n"
           "their results keep their paths from the folder's parent. Files named directly are\n"
           "always taken.\n"
           "Unlike iconv, several FILEs are converted into the output folder, not to standard\n"
           "output, unless --stdout is given.\n"
           "Ctrl+C stops the run after the file in progress. When standard error is a terminal,\n"
           "one line there shows the files done, the bytes read and the rate while the run\n"
           "takes time; it is erased before the log is printed.\n"
           "\n"
           "Report:\n"
           "  Each line of the --report FILE is one JSON object: source, destination,\n"
           "  encoding (given or detected), guesses (when detecting: the readings weighed,\n"
           "  best first, each with name and score), result (ok, failed, skipped, already or\n"
           "  refused), error, line, column and offset (for a failure, where known), bytes_read\n"
           "  and bytes_written. A byte of a file name that is not part of valid UTF-8 is\n"
           "  written as the lone surrogate \\udc80 to \\udcff (0xDC00 + the byte), as Python's\n"
           "  \"surrogateescape\" reads it: os.fsencode() gives the name back byte for byte.\n"
           "\n"
           "Exit status:\n"
           "  0   completed with no error and no warning\n"
           "  1   completed with errors or warnings, a conversion error on standard input, or\n"
           "      the log or the report could not be written\n"
           "  2   stopped or canceled\n"
           "  3   the conversion library cannot be loaded, a list file cannot be read, or the\n"
           "      report file cannot be made\n"
           "  64  bad usage, or no FILE and standard input is a terminal\n";
}
