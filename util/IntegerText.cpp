#include "util/IntegerText.h"

#include "util/Exception.h"

bool TryStrToInt(std::string_view Text, std::int32_t& Value) noexcept
{
    std::size_t i = 0;
    while (i < Text.size() && Text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) {
        negative = Text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i < Text.size() && Text[i] == '$') {
        base = 16;
        ++i;
    } else if (Text.size() - i >= 2 && Text[i] == '0' && (Text[i + 1] == 'x' || Text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == Text.size())
        return false;
    // Stops at the first digit past the range, so a huge value costs no more than its start.
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t result = 0;
    for (; i < Text.size(); ++i) {
        const char c = Text[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        result = result * base + digit;
        if (result > limit)
            return false;
    }
    Value = static_cast<std::int32_t>(negative ? -result : result);
    return true;
}

std::int32_t StrToInt(const std::string& Text)
{
    std::int32_t value = 0;
    if (!TryStrToInt(Text, value))
        throw Exception("'" + Text + "' is not a valid integer value");
    return value;
}
