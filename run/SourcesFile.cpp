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
    std::vector<TSourceEntry> Entries;
    std::size_t Number = 0;
    while (!Text.empty()) {
        ++Number;
        const std::size_t End = Text.find('\n');
        std::string_view Line = Text.substr(0, End);
        Text.remove_prefix(End == std::string_view::npos ? Text.size() : End + 1);
        if (!Line.empty() && Line.back() == '\r')
            Line.remove_suffix(1);
        if (Line.empty())
            continue;
        if (Line.find('\0') != std::string_view::npos)
            BadLine(Number, "holds a NUL byte");
        const std::size_t Tab = Line.find('\t');
        if (Tab == std::string_view::npos)
            BadLine(Number, "no tab between the encoding and the path");
        TSourceEntry Entry{std::string(Line.substr(0, Tab)), std::string(Line.substr(Tab + 1))};
        if (Entry.Path.empty())
            BadLine(Number, "no path after the tab");
        if (!Detects(Entry.Encoding) && IsValid && !IsValid(Entry.Encoding))
            BadLine(Number, "unknown encoding \"" + Entry.Encoding + "\"");
        Entries.push_back(std::move(Entry));
    }
    return Entries;
}

std::vector<TSourceEntry> TSourcesFile::Read(const std::string& FileName,
                                            const std::function<bool(const std::string&)>& IsValid)
{
    std::error_code Error;
    std::ifstream File;
    if (!std::filesystem::is_directory(FileName, Error))
        File.open(FileName, std::ios::binary);
    if (!File.is_open())
        throw Exception("Cannot open file \"" + FileName + "\"");
    const std::string Content((std::istreambuf_iterator<char>(File)), std::istreambuf_iterator<char>());
    if (File.bad())
        throw Exception("Cannot read file \"" + FileName + "\"");
    return Parse(Content, IsValid);
}

std::string TSourcesFile::Format(const std::vector<TSourceEntry>& Entries)
{
    std::string Text;
    for (const TSourceEntry& Entry : Entries)
        Text += Entry.Encoding + "\t" + Entry.Path + "\n";
    return Text;
}

void TSourcesFile::Write(const std::string& FileName, const std::vector<TSourceEntry>& Entries)
{
    const std::string Text = Format(Entries);
    std::ofstream File(FileName, std::ios::binary | std::ios::trunc);
    if (!File || !File.write(Text.data(), static_cast<std::streamsize>(Text.size())) || !File.flush())
        throw Exception("Cannot write file \"" + FileName + "\"");
}
