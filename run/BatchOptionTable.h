#pragma once

#include <string>
#include <string_view>
#include <vector>

// What completes an option's value in the shell.
enum class TValueKind { None, Encoding, File, Folder, Words, Text };

// One option of lumiva-batch. The help text, the manual page (made from the help text) and the
// bash completion are all printed from this table, so that none of them can name an option the
// others miss.
struct TBatchOption {
    const char* Long;  // "--from"; empty for an option with a short name only
    char Short;        // 'f', or 0
    const char* Value; // "NAME", or nullptr for a flag
    TValueKind Kind;
    const char* Words; // the values allowed, separated by spaces, for TValueKind::Words
    const char* Help;  // lines separated by '\n'
};

const std::vector<TBatchOption>& BatchOptionTable();
// The entry of "--long" or "-s", or null.
const TBatchOption* FindBatchOption(std::string_view Name);
// The name an option is reported by: its long name, else its short one.
std::string OptionName(const TBatchOption& Option);
// The "Options:" part of --help, one entry after another.
std::string BatchOptionHelp();
// A bash completion script for lumiva-batch.
std::string BatchCompletionScript();
