#include "run/BatchOptions.h"

#include "folders/FileMasks.h"
#include "settings/AutoDetect.h"
#include "settings/OptionRules.h"
#include "util/IntegerText.h"
#include "util/Mysysutils.h"
#include "util/Version.h"

#include <algorithm>

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

void TBatchOptions::Parse(const std::vector<std::string>& Args)
{
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
        }
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

        if (Option == "--help") {
            Flag();
            Help = true;
        } else if (Option == "--version") {
            Flag();
            Version = true;
        } else if (Option == "--list-encodings") {
            Flag();
            ListEncodings = true;
        } else if (Option == "--from") {
            Options.FromEncoding = TakeValue();
        } else if (Option == "--to") {
            Options.ToEncoding = TakeValue();
        } else if (Option == "--translation") {
            Options.Translation = Choice(Option, TakeValue(), {"none", "ignore", "transliterate"});
        } else if (Option == "--buffer-size") {
            Check(Option, CheckBufferSize(TakeValue()));
            Options.BufferSize = StrToInt(Value);
        } else if (Option == "--output-dir") {
            Check(Option, CheckOutputDirectory(TakeValue()));
            Options.Output = omDirectory;
            Options.OutputDirectory = Value;
        } else if (Option == "--prefix") {
            Check(Option, CheckPrefix(TakeValue()));
            Options.Output = omPrefix;
            Options.OutputPrefix = Value;
        } else if (Option == "--overwrite") {
            Flag();
            Options.Output = omOverwrite;
        } else if (Option == "--backup-prefix") {
            Check(Option, CheckPrefix(TakeValue()));
            Options.BackupSrcFiles = true;
            Options.BackupPrefix = Value;
        } else if (Option == "--no-backup") {
            Flag();
            Options.BackupSrcFiles = false;
        } else if (Option == "--utf8") {
            Specs.Utf8 = UtfChoice(Option, TakeValue(), true);
        } else if (Option == "--utf16") {
            Specs.Utf16 = UtfChoice(Option, TakeValue(), false);
        } else if (Option == "--utf32") {
            Specs.Utf32 = UtfChoice(Option, TakeValue(), false);
        } else if (Option == "--answer") {
            Answer = Choice(Option, TakeValue(), {"yes", "yes-to-all", "no", "no-to-all", "cancel"});
        } else if (Option == "--no-subfolders") {
            Flag();
            Folders.IncludeSubfolders = false;
        } else if (Option == "--include") {
            Check(Option, TFileMasks::Check(TakeValue(), false));
            Folders.FileNames = Value;
        } else if (Option == "--exclude") {
            Check(Option, TFileMasks::Check(TakeValue(), true));
            Folders.SkipNames = Value;
        } else if (Option == "--all-files") {
            Flag();
            Folders.SkipNonText = false;
        } else if (Option == "--keep-time") {
            Flag();
            Folders.KeepTime = true;
        } else if (Option == "--check") {
            Flag();
            CheckOnly = true;
        } else if (Option == "--list") {
            if (TakeValue().empty())
                UsageError(Option, "Set text");
            Sources.push_back({true, Value});
        } else if (Option == "--sources") {
            if (TakeValue().empty())
                UsageError(Option, "Set text");
            Sources.push_back({false, Value, true});
        } else {
            throw EUsageError("unknown option " + Option);
        }
    }
    if (!Help && !Version && !ListEncodings && Sources.empty())
        throw EUsageError("no file given");
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

TStringList TBatchOptions::FileList()
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

std::string TBatchOptions::HelpText()
{
    return "Usage: lumiva-batch [OPTIONS] FILE...\n"
           "Converts text files between character encodings, one after another, as one run of\n"
           "Lumiva, and prints the run's log to standard output (lines end in CR LF).\n"
           "\n"
           "Options:\n"
           "  --from NAME             source encoding (default UTF-8); auto (or Auto-detect)\n"
           "                          detects each file's encoding, and a file it cannot\n"
           "                          tell fails with \"Cannot detect character encoding\"\n"
           "  --to NAME               target encoding (default UTF-16)\n"
           "  --translation MODE      none | ignore | transliterate (default none)\n"
           "  --buffer-size N         bytes (default 65536)\n"
           "  --output-dir DIR        output to this directory (the default mode; default\n"
           "                          directory: \"LMV Output\" on the desktop)\n"
           "  --prefix TEXT           output beside each source, named TEXT + its name\n"
           "  --overwrite             overwrite the sources\n"
           "  --backup-prefix TEXT    with --overwrite: back up each source first, named\n"
           "                          TEXT + its name (default \"Backup - \")\n"
           "  --no-backup             with --overwrite: no backup\n"
           "  --utf8 N, --utf16 N, --utf32 N\n"
           "                          signature choices (default 0): UTF-8 0 default,\n"
           "                          1 without BOM, 2 with BOM; UTF-16 and UTF-32 0 default,\n"
           "                          1 without BOM (big-endian), 3 LE with BOM, 4 BE with BOM\n"
           "  --answer A              answer to every overwrite question: yes | yes-to-all |\n"
           "                          no | no-to-all | cancel (default no)\n"
           "  --list FILE             take the file names from a list file, one per line\n"
           "  --sources FILE          take the files from FILE, one \"ENCODING<TAB>PATH\" line\n"
           "                          each (UTF-8): each file is read from its own encoding;\n"
           "                          an empty ENCODING or auto detects it\n"
           "  --no-subfolders         a FILE that is a folder gives only its own files\n"
           "  --include MASKS         take only the files of a folder whose names match one of\n"
           "                          MASKS, separated by \";\" (* and ?, any letter case;\n"
           "                          default *)\n"
           "  --exclude MASKS         leave out the files and folders of a folder whose names\n"
           "                          match one of MASKS (default .*; \"\" leaves out nothing)\n"
           "  --all-files             also take files of a folder that are not text (by default\n"
           "                          one with a NUL byte in its first 8 KiB is skipped)\n"
           "  --keep-time             give each result its source's modification time\n"
           "  --check                 check only: read every file through the same conversion\n"
           "                          with the same options and log \"... OK\" or where it\n"
           "                          fails; nothing is written, nothing is asked\n"
           "  --list-encodings        print every encoding name, one per line, and stop\n"
           "  --version               print the version and stop\n"
           "  --help                  this text\n"
           "\n"
           "Options may also be written --option=VALUE; \"--\" ends the options. Of --output-dir,\n"
           "--prefix and --overwrite the last one given decides; so do --backup-prefix and\n"
           "--no-backup. FILE operands, --list and --sources files are taken in the order given; relative\n"
           "names, also those in a list file, are taken from the current directory. A FILE or\n"
           "list entry that is a folder stands for the files in it and in its subfolders, in\n"
           "name order; with --output-dir their results keep their paths from the folder's\n"
           "parent. Files named directly are always taken.\n"
           "Ctrl+C stops the run after the file in progress. When standard error is a terminal,\n"
           "one line there shows the files done, the bytes read and the rate while the run\n"
           "takes time; it is erased before the log is printed.\n"
           "\n"
           "Exit status:\n"
           "  0   completed with no error and no warning\n"
           "  1   completed with errors or warnings\n"
           "  2   stopped or canceled\n"
           "  3   the conversion library cannot be loaded, or a list file cannot be read\n"
           "  64  bad usage\n";
}
