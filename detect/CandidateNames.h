#pragma once

#include <string>
#include <string_view>
#include <vector>

// Names of candidate encodings: what a detection library calls them, what Windows writes, and
// which encodings are easily taken for one another.
namespace CandidateNames {

// The name of the encoding that Windows writes for a detection library's name: a superset where
// the library names the standard (CP932 for SHIFT_JIS, GB18030 for GB2312 and GBK, CP949 for
// EUC-KR, WINDOWS-1252 for ISO-8859-1), glibc's spelling otherwise.
std::string WindowsName(std::string_view LibraryName);

// True for the multibyte encodings a detection library names (East Asian double-byte and
// ISO-2022 forms, the Unicode forms), in its spelling or in WindowsName's.
bool IsMultibyte(std::string_view Name);

// Name itself and the encodings that decode most of its bytes alike (KOI8-R and KOI8-U, CP850
// and WINDOWS-1252, CP852 and WINDOWS-1250, ISO-8859-2 and ISO-8859-1, ...), and theirs in
// turn; Name first.
std::vector<std::string> WithLookAlikes(const std::string& Name);

// The legacy encodings that users of a locale ("ru_RU.UTF-8") most often meet, likeliest first;
// empty for a locale without a language.
std::vector<std::string> LocalePreferences(std::string_view LocaleName);

} // namespace CandidateNames
