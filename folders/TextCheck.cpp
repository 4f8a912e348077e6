#include "folders/TextCheck.h"

#include <algorithm>
#include <cctype>

namespace {

bool HasWideSignature(const unsigned char* Data, std::size_t Size)
{
    const auto startsWith = [&](std::initializer_list<unsigned char> Signature) {
        return Size >= Signature.size() && std::equal(Signature.begin(), Signature.end(), Data);
    };
    // FF FE also begins the UTF-32 little-endian signature.
    return startsWith({0xFF, 0xFE}) || startsWith({0xFE, 0xFF}) || startsWith({0x00, 0x00, 0xFE, 0xFF});
}

} // namespace

bool IsWideEncoding(const std::string& Name)
{
    std::string key;
    for (const char c : Name)
        if (std::isalnum(static_cast<unsigned char>(c)))
            key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* family : {"UTF16", "UTF32", "UCS2", "UCS4"})
        if (key.find(family) != std::string::npos)
            return true;
    // glibc's UNICODE (UCS-2 with a signature), UNICODELITTLE, UNICODEBIG; WCHAR_T is UCS-4.
    return key.starts_with("UNICODE") || key == "WCHART";
}

bool LooksBinary(std::string_view Sample, const std::string& FromEncoding)
{
    Sample = Sample.substr(0, TextCheckSize);
    if (Sample.find('\0') == std::string_view::npos)
        return false;
    return !HasWideSignature(reinterpret_cast<const unsigned char*>(Sample.data()), Sample.size()) &&
           !IsWideEncoding(FromEncoding);
}
