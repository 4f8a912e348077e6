#pragma once

#include "settings/MemIniFile.h"

#include <string>
#include <string_view>

// An INI file whose text values stand in double quotes, so that the blanks which loading trims
// off stay part of the value. Numbers and flags stay bare.
class TQuoteIniFile : public TMemIniFile {
public:
    using TMemIniFile::TMemIniFile;

    // The raw value (the quoted default when the key is missing) with UnquoteValue applied.
    virtual std::string ReadQuotedString(std::string_view Section, std::string_view Key,
                                         const std::string& Default) const;
    virtual void WriteQuotedString(std::string_view Section, std::string_view Key,
                                   std::string_view Value);

    // The text between two double quotes; no escaping.
    static std::string QuoteValue(std::string_view Value);
    // Removes a leading double quote and then a trailing one; a text without the leading quote
    // comes back unchanged.
    static std::string UnquoteValue(std::string_view Value);
};
