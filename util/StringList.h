#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// ASCII case-insensitive three-way comparison. The one comparison behind
// sorting and lookup, so a binary search finds what the sort placed.
int CompareText(std::string_view a, std::string_view b) noexcept;
bool SameText(std::string_view a, std::string_view b) noexcept;

// Ordered list of 8-bit texts: not kept sorted on insertion, duplicates allowed.
class TStringList {
public:
    TStringList() = default;
    TStringList(std::initializer_list<std::string> items) : Items(items) {}

    void Add(std::string text) { Items.push_back(std::move(text)); }
    void Clear() noexcept { Items.clear(); }
    void Reserve(std::size_t count) { Items.reserve(count); }
    void Delete(std::size_t index) { Items.erase(Items.begin() + static_cast<std::ptrdiff_t>(index)); }
    std::size_t Count() const noexcept { return Items.size(); }
    bool Empty() const noexcept { return Items.empty(); }
    const std::string& operator[](std::size_t index) const { return Items[index]; }
    std::string& operator[](std::size_t index) { return Items[index]; }
    void Append(const TStringList& other);

    // Sorts with CompareText (stable, so equal names keep their order).
    void Sort();
    // Binary search with CompareText; the list must have been sorted with Sort().
    bool Find(std::string_view text, std::size_t* index = nullptr) const noexcept;
    // Linear search with CompareText; -1 when absent.
    long IndexOf(std::string_view text) const noexcept;

    // Every entry followed by CR LF, the last included.
    std::string Text() const;
    // Splits at CR, LF or CR LF; a NUL ends the text; a final line break adds no entry.
    void SetText(std::string_view text);

    // Lines as SetText splits them, but the text ends after the line that holds a NUL, which
    // keeps it (a name that holds one names no file, where a cut name would name another).
    // Throws Exception when the file cannot be read or written.
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;

    const std::vector<std::string>& Strings() const noexcept { return Items; }
    auto begin() const noexcept { return Items.begin(); }
    auto end() const noexcept { return Items.end(); }

    bool operator==(const TStringList&) const = default;

private:
    void SplitLines(std::string_view text);

    std::vector<std::string> Items;
};
