#include "settings/FolderSettings.h"

#include "settings/QuoteIniFile.h"
#include "util/NameMasks.h"

#include <array>
#include <variant>

namespace {

// One key: where it lives and which member of the record it holds. Read and write both go
// through this table, so a key cannot be written under one name and read under another.
struct TKey {
    const char* Section;
    const char* Name;
    std::variant<bool TFolderOptions::*, std::string TFolderOptions::*> Member;
};

const std::array<TKey, 5> Keys{{
    {"Folders", "IncludeSubfolders", &TFolderOptions::IncludeSubfolders},
    {"Folders", "FileNames", &TFolderOptions::FileNames},
    {"Folders", "SkipNames", &TFolderOptions::SkipNames},
    {"Folders", "SkipNonText", &TFolderOptions::SkipNonText},
    {"Results", "KeepModificationTime", &TFolderOptions::KeepTime},
}};

} // namespace

TFolderOptions ReadFolderOptions(const TQuoteIniFile& File, const TFolderOptions& Current)
{
    TFolderOptions options = Current;
    for (const TKey& key : Keys) {
        if (const auto* flag = std::get_if<bool TFolderOptions::*>(&key.Member))
            options.*(*flag) = File.ReadBool(key.Section, key.Name, Current.*(*flag));
        else if (const auto* text = std::get_if<std::string TFolderOptions::*>(&key.Member))
            options.*(*text) = File.ReadQuotedString(key.Section, key.Name, Current.*(*text));
    }
    // Masks the window would refuse fall back as a malformed flag does.
    if (!CheckNameMasks(options.FileNames, false).empty())
        options.FileNames = Current.FileNames;
    if (!CheckNameMasks(options.SkipNames, true).empty())
        options.SkipNames = Current.SkipNames;
    return options;
}

void WriteFolderOptions(TQuoteIniFile& File, const TFolderOptions& Options)
{
    for (const TKey& key : Keys) {
        if (const auto* flag = std::get_if<bool TFolderOptions::*>(&key.Member))
            File.WriteBool(key.Section, key.Name, Options.*(*flag));
        else if (const auto* text = std::get_if<std::string TFolderOptions::*>(&key.Member))
            File.WriteQuotedString(key.Section, key.Name, Options.*(*text));
    }
}
