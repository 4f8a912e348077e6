#include "engine/EncodingForm.h"

#include "util/StringList.h"

#include <algorithm>
#include <initializer_list>

namespace {

bool OneOf(std::string_view Name, std::initializer_list<std::string_view> Names) noexcept
{
    return std::any_of(Names.begin(), Names.end(), [Name](std::string_view Known) { return SameText(Name, Known); });
}

} // namespace

TEncodingForm EncodingForm(std::string_view Name) noexcept
{
    if (OneOf(Name, {"UTF-8", "UTF8"}))
        return TEncodingForm::Utf8;
    if (OneOf(Name, {"ISO-8859-1", "ISO8859-1", "ISO_8859-1", "LATIN1", "L1", "ASCII", "US-ASCII", "ANSI_X3.4-1968"}))
        return TEncodingForm::SingleByte;
    if (OneOf(Name, {"UTF-16LE", "UTF16LE"}))
        return TEncodingForm::Utf16LE;
    if (OneOf(Name, {"UTF-16BE", "UTF16BE"}))
        return TEncodingForm::Utf16BE;
    if (OneOf(Name, {"UTF-32LE", "UTF32LE"}))
        return TEncodingForm::Utf32LE;
    if (OneOf(Name, {"UTF-32BE", "UTF32BE"}))
        return TEncodingForm::Utf32BE;
    if (OneOf(Name, {"UTF-16", "UTF16"}))
        return TEncodingForm::Utf16;
    if (OneOf(Name, {"UTF-32", "UTF32"}))
        return TEncodingForm::Utf32;
    return TEncodingForm::Other;
}

bool KeepsNoState(TEncodingForm Form) noexcept
{
    return Form != TEncodingForm::Other && Form != TEncodingForm::Utf16 && Form != TEncodingForm::Utf32;
}

bool WritesMark(TEncodingForm Form) noexcept
{
    return Form == TEncodingForm::Utf16 || Form == TEncodingForm::Utf32;
}

std::size_t FirstCharacterLength(TEncodingForm Form, const unsigned char* Data, std::size_t Size) noexcept
{
    std::size_t length = 1;
    switch (Form) {
    case TEncodingForm::Utf8:
        // A byte that cannot lead counts as one: the C library refuses it either way.
        length = Data[0] < 0xC2 ? 1 : Data[0] < 0xE0 ? 2 : Data[0] < 0xF0 ? 3 : Data[0] < 0xF5 ? 4 : 1;
        break;
    case TEncodingForm::Utf16LE:
    case TEncodingForm::Utf16BE: {
        const unsigned char high = Size < 2 ? 0 : Form == TEncodingForm::Utf16LE ? Data[1] : Data[0];
        length = high >= 0xD8 && high <= 0xDB ? 4 : 2;
        break;
    }
    case TEncodingForm::Utf32LE:
    case TEncodingForm::Utf32BE:
        length = 4;
        break;
    default:
        break;
    }
    return std::min(length, Size);
}
