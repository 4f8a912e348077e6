#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// An INI file held in memory: read whole at construction, written whole by UpdateFile.
// Sections and keys are matched without regard to ASCII letter case. Of two equal sections, or
// two equal keys in one section, the first one is read and updated.
class TMemIniFile {
public:
    // Reads the file when it exists; a missing file gives an empty in-memory file. Throws
    // Exception when the file exists but cannot be read.
    explicit TMemIniFile(std::string FileName);
    virtual ~TMemIniFile() = default;
    TMemIniFile(const TMemIniFile&) = delete;
    TMemIniFile& operator=(const TMemIniFile&) = delete;

    const std::string& FileName() const noexcept { return FFileName; }

    virtual std::string ReadString(std::string_view Section, std::string_view Key,
                                   const std::string& Default) const;
    // Replaces the key's line in place, or appends it to its section (appended to the file when
    // new). Throws Exception for a text that a line cannot hold (CR, LF or NUL).
    virtual void WriteString(std::string_view Section, std::string_view Key, std::string_view Value);

    // Decimal with optional sign, or hexadecimal after "$", "0x" or "0X". Anything else, and
    // any value outside the 32-bit range, yields Default.
    virtual std::int32_t ReadInteger(std::string_view Section, std::string_view Key,
                                     std::int32_t Default) const;
    virtual void WriteInteger(std::string_view Section, std::string_view Key, std::int32_t Value);
    // Any integer other than 0 is true.
    virtual bool ReadBool(std::string_view Section, std::string_view Key, bool Default) const;
    virtual void WriteBool(std::string_view Section, std::string_view Key, bool Value);

    bool SectionExists(std::string_view Section) const;
    bool ValueExists(std::string_view Section, std::string_view Key) const;

    // The file's text as UpdateFile writes it.
    std::string Text() const;
    // Replaces the whole content by the given file text (loading rules).
    void SetText(std::string_view Text);

    // Writes everything back. The text goes into a new unnamed file beside the old one, which
    // then takes its place in one step: a failed or killed save leaves the old file as it was,
    // and nothing else. Creates the folder first.
    // Throws Exception on any failure.
    virtual void UpdateFile();

private:
    struct TLessText {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const noexcept;
    };

    struct TSection {
        std::string Name;
        std::vector<std::string> Lines;
        // Key -> position in Lines of its first line.
        std::map<std::string, std::size_t, TLessText> Keys;

        void AddLine(std::string Line);
    };

    const TSection* FindSection(std::string_view Name) const;
    TSection& AddSection(std::string Name);

    std::string FFileName;
    std::vector<TSection> Sections;
    // Section name -> position in Sections of its first section.
    std::map<std::string, std::size_t, TLessText> SectionIndex;
};
