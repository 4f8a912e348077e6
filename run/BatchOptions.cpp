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
    std::string Message = "\"" + Text + "\" is not one of the values allowed:";
    const char* Separator = " ";
    for (const std::string& Value : Allowed) {
        Message += Separator + Value;
        Separator = ", ";
    }
    UsageError(Option, Message);
}

// The positions of the options dialog's lists: UTF-8 has 0, 1, 2; UTF-16 and UTF-32 have 0, 1, 3, 4.
std::int32_t UtfChoice(const std::string& Option, const std::string& Text, bool Utf8)
{
    const std::vector<std::int32_t> Listed = Utf8 ? std::vector<std::int32_t>{usDefault, usWithoutBom, usWithBom}
                                                  : std::vector<std::int32_t>{usDefault, usWithoutBom, usLeWithBom,
                                                                              usBeWithBom};
    std::int32_t Value = 0;
    if (TryStrToInt(Text, Value) && std::find(Listed.begin(), Listed.end(), Value) != Listed.end())
        return Value;
    std::vector<std::string> Allowed;
    for (const std::int32_t Item : Listed)
        Allowed.push_back(std::to_string(Item));
    NotAllowed(Option, Text, Allowed);
}

std::int32_t Choice(const std::string& Option, const std::string& Text, std::initializer_list<const char*> Words)
{
    std::int32_t Index = 0;
    for (const char* Word : Words) {
        if (SameText(Text, Word))
            return Index;
        ++Index;
    }
    NotAllowed(Option, Text, std::vector<std::string>(Words.begin(), Words.end()));
}

// Decimal digits only, as the window's box takes them.
std::int32_t Count(const std::string& Option, const std::string& Text, std::int32_t Least, std::int32_t Most)
{
    std::int64_t Value = 0;
    bool Digits = !Text.empty() && Text.size() <= 12;
    for (const char C : Text) {
        Digits = Digits && C >= '0' && C <= '9';
        if (Digits)
            Value = Value * 10 + (C - '0');
    }
    if (!Digits || Value < Least || Value > Most)
        UsageError(Option, "Set a number from " + std::to_string(Least) + " to " + std::to_string(Most));
    return static_cast<std::int32_t>(Value);
}

// Short flags run together ("-c0") as if written apart; other arguments as they are.
std::vector<std::string> SplitFlags(const std::vector<std::string>& Args)
{
    std::vector<std::string> Split;
    bool OptionsEnded = false;
    for (const std::string& Arg : Args) {
        OptionsEnded = OptionsEnded || Arg == "--";
        const auto IsFlag = [](char Letter) {
            const TBatchOption* Option = FindBatchOption(std::string("-") + Letter);
            return Option && !Option->Value;
        };
        if (OptionsEnded || Arg.size() < 3 || Arg[0] != '-' || Arg[1] == '-' || !IsFlag(Arg[1]) ||
            !std::all_of(Arg.begin() + 1, Arg.end(), IsFlag)) {
            Split.push_back(Arg);
            continue;
        }
        for (std::size_t k = 1; k < Arg.size(); ++k)
            Split.push_back(std::string("-") + Arg[k]);
    }
    return Split;
}

// The names in the file Name (or in Fd when not negative), each ended by Separator; empty ones
// are left out. Raises Exception when it cannot be read.
void ReadNames(int Fd, const std::string& Name, char Separator, TStringList& Files)
{
    const TFd Own(Fd < 0 ? ::open(Name.c_str(), O_RDONLY | O_CLOEXEC) : Fd, Fd < 0);
    if (Own.Get() < 0)
        throw Exception("Cannot open file \"" + Name + "\"");
    std::string Pending;
    char Buffer[65536];
    for (;;) {
        const ssize_t Got = ::read(Own.Get(), Buffer, sizeof Buffer);
        if (Got < 0 && errno == EINTR)
            continue;
        if (Got < 0)
            throw Exception("Cannot read file \"" + Name + "\"");
        if (Got == 0)
            break;
        Pending.append(Buffer, static_cast<std::size_t>(Got));
        std::size_t Start = 0;
        for (std::size_t End; (End = Pending.find(Separator, Start)) != std::string::npos; Start = End + 1)
            if (End > Start)
                Files.Add(Pending.substr(Start, End - Start));
        Pending.erase(0, Start);
    }
    if (!Pending.empty())
        Files.Add(Pending);
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
    const std::vector<std::string> Args = SplitFlags(Given);
    bool OptionsEnded = false;
    for (std::size_t i = 0; i < Args.size(); ++i) {
        const std::string& Arg = Args[i];
        if (OptionsEnded || Arg.size() < 2 || Arg[0] != '-') {
            Sources.push_back({false, Arg});
            continue;
        }
        if (Arg == "--") {
            OptionsEnded = true;
            continue;
        }
        std::string Option = Arg;
        std::string Value;
        bool HasValue = false;
        if (const std::size_t Equal = Arg.find('='); Arg.rfind("--", 0) == 0 && Equal != std::string::npos) {
            Option = Arg.substr(0, Equal);
            Value = Arg.substr(Equal + 1);
            HasValue = true;
        } else if (Arg[1] != '-' && Arg.size() > 2) {
            // "-fNAME" as iconv takes it.
            Option = Arg.substr(0, 2);
            Value = Arg.substr(2);
            HasValue = true;
        }
        const TBatchOption* Known = FindBatchOption(Option);
        if (!Known)
            throw EUsageError("unknown option " + Option);
        const auto Flag = [&] {
            if (HasValue)
                throw EUsageError(Option + ": takes no value");
        };
        const auto TakeValue = [&]() -> const std::string& {
            if (!HasValue) {
                if (i + 1 >= Args.size())
                    throw EUsageError(Option + ": missing value");
                Value = Args[++i];
                HasValue = true;
            }
            return Value;
        };
        if (Known->Value)
            TakeValue();
        else
            Flag();
        const std::string Name = OptionName(*Known);

        if (Name == "--help") {
            Help = true;
        } else if (Name == "--version") {
            Version = true;
        } else if (Name == "--list-encodings") {
            ListEncodings = true;
        } else if (Name == "--bash-completion") {
            CompletionScript = true;
        } else if (Name == "--from") {
            Options.FromEncoding = Value;
        } else if (Name == "--to") {
            SetTarget(Option, Value);
        } else if (Name == "--translation") {
            Options.Translation = Choice(Option, Value, {"none", "ignore", "transliterate"});
        } else if (Name == "-c") {
            Options.Translation = trIgnore;
        } else if (Name == "--buffer-size") {
            Options.BufferSize = Count(Option, Value, 1, std::numeric_limits<std::int32_t>::max());
        } else if (Name == "--output-dir") {
            // The window needs an absolute path; a shell user means the current directory.
            const std::string Folder = Value.empty() || HasDrive(Value) ? Value : ExpandFileName(Value);
            Check(Option, CheckOutputDirectory(Folder));
            Options.Output = omDirectory;
            Options.OutputDirectory = Folder;
        } else if (Name == "--prefix") {
            Check(Option, CheckPrefix(Value));
            Options.Output = omPrefix;
            Options.OutputPrefix = Value;
        } else if (Name == "--overwrite") {
            Options.Output = omOverwrite;
        } else if (Name == "--backup-prefix") {
            Check(Option, CheckPrefix(Value));
            Options.BackupSrcFiles = true;
            Options.BackupPrefix = Value;
        } else if (Name == "--no-backup") {
            Options.BackupSrcFiles = false;
        } else if (Name == "--utf8") {
            Specs.Utf8 = UtfChoice(Option, Value, true);
        } else if (Name == "--utf16") {
            Specs.Utf16 = UtfChoice(Option, Value, false);
        } else if (Name == "--utf32") {
            Specs.Utf32 = UtfChoice(Option, Value, false);
        } else if (Name == "--answer") {
            Answer = Choice(Option, Value, {"yes", "yes-to-all", "no", "no-to-all", "cancel"});
        } else if (Name == "--no-subfolders") {
            Folders.IncludeSubfolders = false;
        } else if (Name == "--include") {
            Check(Option, CheckNameMasks(Value, false));
            Folders.FileNames = Value;
        } else if (Name == "--exclude") {
            Check(Option, CheckNameMasks(Value, true));
            Folders.SkipNames = Value;
        } else if (Name == "--all-files") {
            Folders.SkipNonText = false;
        } else if (Name == "--keep-time") {
            Folders.KeepTime = true;
        } else if (Name == "--check") {
            CheckOnly = true;
        } else if (Name == "--list") {
            if (Value.empty())
                UsageError(Option, "Set text");
            Sources.push_back({true, Value});
        } else if (Name == "--files-from") {
            if (Value.empty())
                UsageError(Option, "Set text");
            if (!FilesFrom.empty())
                UsageError(Option, "given twice");
            FilesFrom = Value;
        } else if (Name == "--null") {
            NullSeparated = true;
        } else if (Name == "--output") {
            if (Value.empty() || Value == "-")
                UsageError(Option, "Set a file name (standard output is the default)");
            OutputFile = Value;
        } else if (Name == "--stdout") {
            ToStdout = true;
        } else if (Name == "--report") {
            if (Value.empty())
                UsageError(Option, "Set text");
            ReportFile = Value;
        } else if (Name == "--quiet") {
            Quiet = true;
        } else if (Name == "--jobs") {
            Jobs = Count(Option, Value, 0, MaxJobs);
            if (Jobs == 0)
                Jobs = static_cast<std::int32_t>(std::clamp<long>(::sysconf(_SC_NPROCESSORS_ONLN), 1, MaxJobs));
        } else if (Name == "--sources") {
            if (Value.empty())
                UsageError(Option, "Set text");
            Sources.push_back({false, Value, true});
        } else {
            throw EUsageError("unknown option " + Option);
        }
    }
    CheckCombinations();
}

void TBatchOptions::SetTarget(const std::string& Option, const std::string& Value)
{
    // iconv's suffixes: NAME//TRANSLIT, NAME//IGNORE (also both, the last one deciding).
    const std::size_t Slashes = Value.find("//");
    Options.ToEncoding = Value.substr(0, Slashes);
    if (Slashes == std::string::npos)
        return;
    std::string Rest = Value.substr(Slashes + 2);
    std::size_t Start = 0;
    while (Start <= Rest.size()) {
        std::size_t End = Rest.find_first_of("/,", Start);
        if (End == std::string::npos)
            End = Rest.size();
        const std::string Suffix = Rest.substr(Start, End - Start);
        if (SameText(Suffix, "TRANSLIT"))
            Options.Translation = trTransliterate;
        else if (SameText(Suffix, "IGNORE"))
            Options.Translation = trIgnore;
        else if (!Suffix.empty())
            UsageError(Option, "\"//" + Suffix + "\" is not one of the suffixes allowed: //TRANSLIT, //IGNORE");
        Start = End + 1;
    }
}

void TBatchOptions::CheckCombinations() const
{
    const bool Stdin = std::any_of(Sources.begin(), Sources.end(),
                                   [](const TSource& Source) { return !Source.IsList && !Source.IsSources && Source.Name == "-"; });
    if (Stdin && (Sources.size() > 1 || !FilesFrom.empty()))
        throw EUsageError("-: standard input can only be the one FILE");
    if (NullSeparated && FilesFrom.empty())
        throw EUsageError("--null: only with --files-from");
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
    TStringList Files;
    SourceEncodings.clear();
    for (const TSource& Source : Sources) {
        if (Source.IsSources) {
            try {
                for (TSourceEntry& Entry : TSourcesFile::Read(Source.Name, EncodingValid)) {
                    Files.Add(Entry.Path);
                    SourceEncodings.push_back(std::move(Entry));
                }
            } catch (const TSourcesFile::EBadLine& E) {
                UsageError("--sources " + Source.Name, E.what());
            }
            continue;
        }
        if (!Source.IsList) {
            Files.Add(Source.Name);
            continue;
        }
        TStringList List;
        List.LoadFromFile(Source.Name);
        for (const std::string& Entry : List)
            if (!Entry.empty())
                Files.Add(Entry);
    }
    if (!FilesFrom.empty())
        ReadNames(FilesFrom == "-" ? Input : -1, FilesFrom, NullSeparated ? '\0' : '\n', Files);
    return Files;
}

std::string TBatchOptions::ReportText(const std::string& Message)
{
    if (!Message.empty() && static_cast<unsigned char>(Message.back()) > '.')
        return Message + ".";
    return Message;
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
