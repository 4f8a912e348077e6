#include "util/ButtonList.h"

#include "util/Mysysutils.h"

namespace {

// Space and control characters, the separators around items.
bool IsBlank(char c) noexcept
{
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

} // namespace

void ParseButtonList(const std::string& Text, TStringList& Buttons)
{
    Buttons.Clear();
    // A NUL ends the text, as it would end a C string.
    const std::string text = Text.substr(0, Text.find('\0'));
    const std::size_t size = text.size();
    std::size_t p = 0;
    const auto skipBlanks = [&] {
        while (p < size && IsBlank(text[p]))
            ++p;
    };

    skipBlanks();
    while (p < size) {
        std::string item;
        if (text[p] == '"') {
            // Up to the next quote that is not doubled; "" stands for one quote. Without a closing
            // quote the rest of the text is the caption.
            ++p;
            while (p < size) {
                if (text[p] == '"') {
                    if (p + 1 < size && text[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                const std::size_t length = CharLength(text, p);
                item.append(text, p, length);
                p += length;
            }
        } else {
            const std::size_t start = p;
            while (p < size && !IsBlank(text[p]) && text[p] != ',')
                p += CharLength(text, p);
            item.assign(text, start, std::min(p, size) - start);
        }
        Buttons.Add(std::move(item));

        skipBlanks();
        if (p < size && text[p] == ',') {
            // A comma that ends the text stands before one more, empty item.
            if (p + 1 == size)
                Buttons.Add(std::string());
            ++p;
            skipBlanks();
        }
    }
}
