#include "run/SourcesFile.h"

#include "settings/AutoDetect.h"
#include "util/StringList.h"

#include <fstream>
#include <filesystem>
#include <iterator>

namespace {

[[noreturn]] void BadLine(std::size_t Number, const std::string& Message)
{
    throw TSourcesFile::EBadLine("line " + std::to_string(Number) + ": " + Message);
}

} // namespace

bool TSourcesFile::Detects(const std::string& Encoding)
{
    return Encoding.empty() || SameText(Encoding, "auto") || IsAutoDetect(Encoding);
}

std::vector<TSourceEntry> TSourcesFile::Parse(std::string_view Text,
                                             const std::function<bool(const std::string&)>& IsValid)
{
    if (Text.substr(0, 3) == "\xEF\xBB\xBF")
        Text.remove_prefix(3);
    std::vector<TSourceEntry> entries;
    std::size_t number = 0;
    while (!Text.empty()) {
        ++number;
        const std::size_t end = Text.find('\n');
        std::string_view line = Text.substr(0, end);
        Text.remove_prefix(end == std::string_view::npos ? Text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        if (line.find('\0') != std::string_view::npos)
            BadLine(number, "holds a NUL byte");
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            BadLine(number, "no tab between the encoding and the path");
        TSourceEntry entry{std::string(line.substr(0, tab)), std::string(line.substr(tab + 1))};
        if (entry.Path.empty())
            BadLine(number, "no path after the tab");
        if (!Detects(entry.Encoding) && IsValid && !IsValid(entry.Encoding))
            BadLine(number, "unknown encoding \"" + entry.Encoding + "\"");
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<TSourceEntry> TSourcesFile::Read(const std::string& FileName,
                                            const std::function<bool(const std::string&)>& IsValid)
{
    std::error_code error;
    std::ifstream file;
    if (!std::filesystem::is_directory(FileName, error))
        file.open(FileName, std::ios::binary);
    if (!file.is_open())
        throw Exception("Cannot open file \"" + FileName + "\"");
    const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad())
        throw Exception("Cannot read file \"" + FileName + "\"");
    return Parse(content, IsValid);
}

std::string TSourcesFile::Format(const std::vector<TSourceEntry>& Entries)
{
    std::string text;
    for (const TSourceEntry& entry : Entries)
        text += entry.Encoding + "\t" + entry.Path + "\n";
    return text;
}

void TSourcesFile::Write(const std::string& FileName, const std::vector<TSourceEntry>& Entries)
{
    const std::string text = Format(Entries);
    std::ofstream file(FileName, std::ios::binary | std::ios::trunc);
    if (!file || !file.write(text.data(), static_cast<std::streamsize>(text.size())) || !file.flush())
        throw Exception("Cannot write file \"" + FileName + "\"");
}
