#include "run/BatchOptionTable.h"

#include <algorithm>

namespace {

using K = TValueKind;

// The column where descriptions start in --help.
constexpr std::size_t HelpColumn = 26;

const std::vector<TBatchOption> Table{
    {"--from", 'f', "NAME", K::Encoding, nullptr,
     "source encoding (default UTF-8); auto (or Auto-detect)\n"
     "detects each file's encoding (of standard input from\n"
     "its first 64 KiB), and a file it cannot tell fails with\n"
     "\"Cannot detect character encoding\""},
    {"--to", 't', "NAME", K::Encoding, nullptr,
     "target encoding (default UTF-16); NAME//TRANSLIT and\n"
     "NAME//IGNORE also set --translation"},
    {"--translation", 0, "MODE", K::Words, "none ignore transliterate",
     "none | ignore | transliterate (default none)"},
    {"", 'c', nullptr, K::None, nullptr, "the same as --translation ignore"},
    {"--buffer-size", 0, "N", K::Text, nullptr, "bytes, from 1 to 2147483647 (default 65536)"},
    {"--output-dir", 0, "DIR", K::Folder, nullptr,
     "output to this directory (the default mode; default\n"
     "directory: \"LMV Output\" on the desktop); a relative\n"
     "DIR is taken from the current directory"},
    {"--prefix", 0, "TEXT", K::Text, nullptr, "output beside each source, named TEXT + its name"},
    {"--overwrite", 0, nullptr, K::None, nullptr, "overwrite the sources"},
    {"--backup-prefix", 0, "TEXT", K::Text, nullptr,
     "with --overwrite: back up each source first, named\n"
     "TEXT + its name (default \"Backup - \")"},
    {"--no-backup", 0, nullptr, K::None, nullptr, "with --overwrite: no backup"},
    {"--utf8", 0, "N", K::Words, "0 1 2",
     "UTF-8 signature: 0 default, 1 without BOM, 2 with BOM"},
    {"--utf16", 0, "N", K::Words, "0 1 3 4",
     "UTF-16 signature: 0 default, 1 without BOM\n"
     "(big-endian), 3 LE with BOM, 4 BE with BOM"},
    {"--utf32", 0, "N", K::Words, "0 1 3 4", "UTF-32 signature: as --utf16"},
    {"--answer", 0, "A", K::Words, "yes yes-to-all no no-to-all cancel",
     "answer to every overwrite question: yes | yes-to-all |\n"
     "no | no-to-all | cancel (default no)"},
    {"--list", 0, "FILE", K::File, nullptr, "take the file names from a list file, one per line"},
    {"--sources", 0, "FILE", K::File, nullptr,
     "take the files from FILE, one \"ENCODING<TAB>PATH\" line\n"
     "each (UTF-8): each file is read from its own encoding;\n"
     "an empty ENCODING or auto detects it"},
    {"--files-from", 0, "FILE", K::File, nullptr,
     "take the file names from FILE, one per line, or from\n"
     "standard input when FILE is -"},
    {"--null", '0', nullptr, K::None, nullptr,
     "with --files-from: the names end in NUL bytes, as\n"
     "find -print0 writes them"},
    {"--no-subfolders", 0, nullptr, K::None, nullptr, "a FILE that is a folder gives only its own files"},
    {"--include", 0, "MASKS", K::Text, nullptr,
     "take only the files of a folder whose names match one of\n"
     "MASKS, separated by \";\" (* and ?, any letter case;\n"
     "default *)"},
    {"--exclude", 0, "MASKS", K::Text, nullptr,
     "leave out the files and folders of a folder whose names\n"
     "match one of MASKS (default .*; \"\" leaves out nothing)"},
    {"--all-files", 0, nullptr, K::None, nullptr,
     "also take files of a folder that are not text (by default\n"
     "one with a NUL byte in its first 8 KiB is skipped)"},
    {"--keep-time", 0, nullptr, K::None, nullptr, "give each result its source's modification time"},
    {"--check", 0, nullptr, K::None, nullptr,
     "check only: read every file through the same conversion\n"
     "with the same options and log \"... OK\" or where it\n"
     "fails; nothing is written, nothing is asked; with\n"
     "standard input, -o or --stdout only errors are shown"},
    {"--output", 'o', "FILE", K::File, nullptr,
     "write the one result (of standard input or of one FILE)\n"
     "to FILE, through a temporary file: FILE is left as it\n"
     "was when the conversion fails"},
    {"--stdout", 0, nullptr, K::None, nullptr,
     "write the results of the FILEs one after another to\n"
     "standard output instead of an output folder"},
    {"--report", 0, "FILE", K::File, nullptr,
     "write one JSON object per file, in run order, to FILE\n"
     "(JSON Lines; see Report below); standard input and\n"
     "output are named \"-\" there. FILE - is standard output:\n"
     "the log then goes to standard error (not with the text\n"
     "of standard input or --stdout on standard output)"},
    {"--quiet", 0, nullptr, K::None, nullptr, "log only the files that failed, and the summary line"},
    {"--jobs", 0, "N", K::Text, nullptr,
     "convert up to N files at once (default 1; 0: one per\n"
     "processor); the log and the report keep the files'\n"
     "order"},
    {"--list-encodings", 'l', nullptr, K::None, nullptr, "print every encoding name, one per line, and stop"},
    {"--bash-completion", 0, nullptr, K::None, nullptr, "print the bash completion script and stop"},
    {"--version", 'V', nullptr, K::None, nullptr, "print the version and stop"},
    {"--help", 'h', nullptr, K::None, nullptr, "this text"},
};

std::string Head(const TBatchOption& Option)
{
    std::string text = "  ";
    if (Option.Short != 0)
        text += std::string("-") + Option.Short + (*Option.Long != '\0' ? ", " : "");
    else
        text += "    ";
    text += Option.Long;
    if (Option.Value)
        text += std::string(" ") + Option.Value;
    return text;
}

// Shell words: '-f' and '--from' for an option that has both.
std::string Names(const TBatchOption& Option)
{
    std::string text;
    if (Option.Short != 0)
        text += std::string("-") + Option.Short;
    if (*Option.Long != '\0')
        text += (text.empty() ? "" : " ") + std::string(Option.Long);
    return text;
}

std::string Alternatives(const TBatchOption& Option)
{
    std::string text = Names(Option);
    std::replace(text.begin(), text.end(), ' ', '|');
    return text;
}

} // namespace

const std::vector<TBatchOption>& BatchOptionTable()
{
    return Table;
}

const TBatchOption* FindBatchOption(std::string_view Name)
{
    for (const TBatchOption& option : Table) {
        if (Name.size() == 2 && Name[0] == '-' && option.Short != 0 && Name[1] == option.Short)
            return &option;
        if (Name.size() > 2 && Name == option.Long)
            return &option;
    }
    return nullptr;
}

std::string OptionName(const TBatchOption& Option)
{
    return *Option.Long != '\0' ? std::string(Option.Long) : std::string("-") + Option.Short;
}

std::string BatchOptionHelp()
{
    std::string text;
    for (const TBatchOption& option : Table) {
        std::string line = Head(option);
        const std::string_view help = option.Help;
        std::size_t start = 0;
        if (line.size() + 2 > HelpColumn) {
            text += line + "\n";
            line.clear();
        }
        while (start <= help.size()) {
            const std::size_t end = std::min(help.find('\n', start), help.size());
            line.resize(HelpColumn, ' ');
            text += line;
            text += help.substr(start, end - start);
            text += "\n";
            line.clear();
            start = end + 1;
        }
    }
    return text;
}

std::string BatchCompletionScript()
{
    std::string cases;
    std::string plain;
    std::string every;
    for (const TBatchOption& option : Table) {
        every += (every.empty() ? "" : " ") + Names(option);
        if (!option.Value)
            continue;
        const std::string pattern = "        " + Alternatives(option) + ")\n";
        switch (option.Kind) {
        case TValueKind::Encoding:
            cases += pattern + "            _lumiva_batch_encodings \"$1\"\n            return\n            ;;\n";
            break;
        case TValueKind::Words:
            cases += pattern + "            COMPREPLY=($(compgen -W '" + option.Words +
                     "' -- \"$cur\"))\n            return\n            ;;\n";
            break;
        case TValueKind::File:
            cases += pattern + "            _filedir\n            return\n            ;;\n";
            break;
        case TValueKind::Folder:
            cases += pattern + "            _filedir -d\n            return\n            ;;\n";
            break;
        default:
            plain += (plain.empty() ? "" : "|") + Alternatives(option);
        }
    }
    if (!plain.empty())
        cases += "        " + plain + ")\n            return\n            ;;\n";
    return "# bash completion for lumiva-batch                                  -*- shell-script -*-\n"
           "# Printed by lumiva-batch --bash-completion from the table its --help comes from.\n"
           "\n"
           "_lumiva_batch_encodings()\n"
           "{\n"
           "    # The names come from the program itself, so they are the ones it accepts.\n"
           "    local IFS=$'\\n' names\n"
           "    names=$(\"$1\" --list-encodings 2>/dev/null)\n"
           "    COMPREPLY=($(compgen -W \"$names\" -- \"$cur\"))\n"
           "    # Names are accepted in any letter case; most are written in capitals.\n"
           "    ((${#COMPREPLY[@]})) || COMPREPLY=($(compgen -W \"$names\" -- \"${cur^^}\"))\n"
           "    __ltrim_colon_completions \"$cur\"\n"
           "}\n"
           "\n"
           "_lumiva_batch()\n"
           "{\n"
           "    local cur prev words cword split\n"
           "    _init_completion -s || return\n"
           "\n"
           "    case $prev in\n" +
           cases +
           "    esac\n"
           "\n"
           "    $split && return\n"
           "\n"
           "    if [[ $cur == -* ]]; then\n"
           "        COMPREPLY=($(compgen -W '" +
           every +
           "' -- \"$cur\"))\n"
           "        return\n"
           "    fi\n"
           "\n"
           "    _filedir\n"
           "} &&\n"
           "    complete -F _lumiva_batch lumiva-batch\n"
           "\n"
           "# ex: filetype=sh\n";
}
