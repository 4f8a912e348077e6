#include "detect/CandidateNames.h"

#include "util/StringList.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>

namespace CandidateNames {

namespace {

struct TRename {
    std::string_view From;
    std::string_view To;
};

// Library spellings that differ from the name used here.
constexpr std::array Renames{
    TRename{"SHIFT_JIS", "CP932"},       TRename{"SJIS", "CP932"},         TRename{"WINDOWS-31J", "CP932"},
    TRename{"GB2312", "GB18030"},        TRename{"GBK", "GB18030"},        TRename{"EUC-CN", "GB18030"},
    TRename{"EUC-KR", "CP949"},          TRename{"UHC", "CP949"},          TRename{"BIG5", "CP950"},
    TRename{"ISO-8859-1", "WINDOWS-1252"}, TRename{"ISO-8859-9", "WINDOWS-1254"},
    TRename{"IBM850", "CP850"},          TRename{"IBM852", "CP852"},       TRename{"IBM855", "CP855"},
    TRename{"IBM866", "CP866"},          TRename{"US-ASCII", "ASCII"},
};

// Groups whose members decode most bytes alike. A name may sit in several groups.
const std::vector<std::vector<std::string>>& LookAlikeGroups()
{
    static const std::vector<std::vector<std::string>> groups{
        {"KOI8-R", "KOI8-U"},
        {"WINDOWS-1252", "CP850", "ISO-8859-15"},
        {"WINDOWS-1250", "CP852", "ISO-8859-2"},
        {"ISO-8859-2", "WINDOWS-1252"},
        {"WINDOWS-1253", "ISO-8859-7"},
        {"CP850", "CP852"},
        // The other Latin code pages the libraries name: ASCII plus letters in the upper half.
        {"WINDOWS-1252", "WINDOWS-1254", "WINDOWS-1257", "ISO-8859-3", "ISO-8859-4", "ISO-8859-10", "ISO-8859-13",
         "ISO-8859-16"},
    };
    return groups;
}

struct TLanguagePreference {
    std::string_view Language;
    std::initializer_list<std::string_view> Encodings;
};

// Windows first, then DOS, then the others of the language's script.
const std::array<TLanguagePreference, 21>& LanguagePreferences()
{
    static const std::array<TLanguagePreference, 21> table{{
        {"ru", {"WINDOWS-1251", "CP866", "KOI8-R"}},
        {"uk", {"WINDOWS-1251", "KOI8-U", "CP866"}},
        {"be", {"WINDOWS-1251", "CP866"}},
        {"bg", {"WINDOWS-1251", "CP866"}},
        {"pl", {"WINDOWS-1250", "CP852", "ISO-8859-2"}},
        {"cs", {"WINDOWS-1250", "CP852", "ISO-8859-2"}},
        {"sk", {"WINDOWS-1250", "CP852", "ISO-8859-2"}},
        {"hu", {"WINDOWS-1250", "CP852", "ISO-8859-2"}},
        {"sl", {"WINDOWS-1250", "CP852", "ISO-8859-2"}},
        {"hr", {"WINDOWS-1250", "CP852", "ISO-8859-2"}},
        {"ro", {"WINDOWS-1250", "ISO-8859-2"}},
        {"el", {"WINDOWS-1253", "ISO-8859-7"}},
        {"tr", {"WINDOWS-1254"}},
        {"de", {"WINDOWS-1252", "CP850"}},
        {"fr", {"WINDOWS-1252", "CP850"}},
        {"es", {"WINDOWS-1252", "CP850"}},
        {"it", {"WINDOWS-1252", "CP850"}},
        {"pt", {"WINDOWS-1252", "CP850"}},
        {"ja", {"CP932", "EUC-JP"}},
        {"zh", {"GB18030", "CP950"}},
        {"ko", {"CP949"}},
    }};
    return table;
}

} // namespace

std::string WindowsName(std::string_view LibraryName)
{
    for (const TRename& rename : Renames)
        if (SameText(rename.From, LibraryName))
            return std::string(rename.To);
    std::string name(LibraryName);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return name;
}

bool IsMultibyte(std::string_view Name)
{
    static constexpr std::array<std::string_view, 12> prefixes{"CP932", "EUC-", "GB18030", "CP950", "BIG5", "CP949",
                                                               "ISO-2022", "HZ", "UTF-", "UCS-", "SHIFT_JIS", "UHC"};
    const std::string name = WindowsName(Name);
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&](std::string_view p) { return std::string_view(name).substr(0, p.size()) == p; });
}

std::vector<std::string> WithLookAlikes(const std::string& Name)
{
    // Look-alikes of look-alikes too: a text in CP852 may be proposed as WINDOWS-1252.
    std::vector<std::string> names{Name};
    for (std::size_t i = 0; i < names.size(); ++i) {
        for (const auto& group : LookAlikeGroups()) {
            if (std::none_of(group.begin(), group.end(), [&](const std::string& n) { return SameText(n, names[i]); }))
                continue;
            for (const std::string& member : group)
                if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return SameText(n, member); }))
                    names.push_back(member);
        }
    }
    return names;
}

std::vector<std::string> LocalePreferences(std::string_view LocaleName)
{
    const std::string_view language = LocaleName.substr(0, LocaleName.find_first_of("_.@"));
    for (const TLanguagePreference& entry : LanguagePreferences())
        if (SameText(entry.Language, language))
            return {entry.Encodings.begin(), entry.Encodings.end()};
    return {};
}

} // namespace CandidateNames
