#include "folders/TextCheck.h"

#include "util/FileDescriptor.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

namespace {

constexpr std::size_t SampleSize = 8192;

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

bool LooksBinary(const std::string& FileName, const std::string& FromEncoding)
{
    struct stat info;
    const TFd fd = OpenRegularFile(FileName, info);
    if (fd.Get() < 0)
        return false;
    std::array<unsigned char, SampleSize> sample;
    const ssize_t got = ReadUpTo(fd.Get(), sample.data(), sample.size());
    const std::size_t size = got > 0 ? static_cast<std::size_t>(got) : 0;
    if (std::memchr(sample.data(), 0, size) == nullptr)
        return false;
    return !HasWideSignature(sample.data(), size) && !IsWideEncoding(FromEncoding);
}
