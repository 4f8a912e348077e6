#include "util/StringList.h"

#include "util/Exception.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

unsigned char FoldAscii(unsigned char c) noexcept
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

} // namespace

int CompareText(std::string_view a, std::string_view b) noexcept
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char ca = FoldAscii(static_cast<unsigned char>(a[i]));
        const unsigned char cb = FoldAscii(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool SameText(std::string_view a, std::string_view b) noexcept
{
    // Most names compared are spelled alike: the bytes first, the letters' case only when they differ.
    return a.size() == b.size() && (a == b || CompareText(a, b) == 0);
}

void TStringList::Append(const TStringList& other)
{
    Items.insert(Items.end(), other.Items.begin(), other.Items.end());
}

void TStringList::Sort()
{
    std::stable_sort(Items.begin(), Items.end(),
                     [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
}

bool TStringList::Find(std::string_view text, std::size_t* index) const noexcept
{
    const auto it = std::lower_bound(Items.begin(), Items.end(), text,
                                     [](const std::string& item, std::string_view key) {
                                         return CompareText(item, key) < 0;
                                     });
    const std::size_t position = static_cast<std::size_t>(it - Items.begin());
    if (index)
        *index = position;
    return it != Items.end() && CompareText(*it, text) == 0;
}

long TStringList::IndexOf(std::string_view text) const noexcept
{
    for (std::size_t i = 0; i < Items.size(); ++i)
        if (CompareText(Items[i], text) == 0)
            return static_cast<long>(i);
    return -1;
}

std::string TStringList::Text() const
{
    std::size_t size = 0;
    for (const auto& item : Items)
        size += item.size() + 2;
    std::string result;
    result.reserve(size);
    for (const auto& item : Items) {
        result += item;
        result += "\r\n";
    }
    return result;
}

void TStringList::SetText(std::string_view text)
{
    SplitLines(text.substr(0, text.find('\0')));
}

void TStringList::SplitLines(std::string_view text)
{
    Items.clear();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t stop = text.find_first_of("\r\n", start);
        if (stop == std::string_view::npos) {
            Items.emplace_back(text.substr(start));
            break;
        }
        Items.emplace_back(text.substr(start, stop - start));
        if (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n')
            ++stop;
        start = stop + 1;
    }
}

void TStringList::LoadFromFile(const std::string& fileName)
{
    std::error_code error;
    std::ifstream in;
    if (!std::filesystem::is_directory(fileName, error))
        in.open(fileName, std::ios::binary);
    if (!in.is_open())
        throw Exception("Cannot open file \"" + fileName + "\"");
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw Exception("Cannot read file \"" + fileName + "\"");
    // A NUL still ends the text, but only after the line that holds it: cut at the NUL that
    // line would name another file.
    const std::size_t nul = content.find('\0');
    if (nul != std::string::npos)
        content.resize(std::min(content.size(), content.find_first_of("\r\n", nul)));
    SplitLines(content);
}

void TStringList::SaveToFile(const std::string& fileName) const
{
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out)
        throw Exception("Cannot create file \"" + fileName + "\"");
    const std::string content = Text();
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.flush();
    if (!out)
        throw Exception("Cannot write file \"" + fileName + "\"");
}
