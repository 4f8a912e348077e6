#include "settings/QuoteIniFile.h"

std::string TQuoteIniFile::QuoteValue(std::string_view Value)
{
    std::string quoted;
    quoted.reserve(Value.size() + 2);
    quoted.append(1, '"').append(Value).append(1, '"');
    return quoted;
}

std::string TQuoteIniFile::UnquoteValue(std::string_view Value)
{
    if (Value.empty() || Value.front() != '"')
        return std::string(Value);
    Value.remove_prefix(1);
    if (!Value.empty() && Value.back() == '"')
        Value.remove_suffix(1);
    return std::string(Value);
}

std::string TQuoteIniFile::ReadQuotedString(std::string_view Section, std::string_view Key,
                                            const std::string& Default) const
{
    return UnquoteValue(ReadString(Section, Key, QuoteValue(Default)));
}

void TQuoteIniFile::WriteQuotedString(std::string_view Section, std::string_view Key,
                                      std::string_view Value)
{
    WriteString(Section, Key, QuoteValue(Value));
}
