#pragma once

#include <optional>
#include <string>

// Small helpers of the fault tests.
namespace lmvfault {

// Text converted by the C library's iconv in one call and its reset; nothing when it fails
// (an invalid, incomplete or unconvertible sequence, a conversion that stalls) or iconv does not
// know a name.
std::optional<std::string> Iconv(const std::string& From, const std::string& To, const std::string& Text);

std::string Repeat(const std::string& Text, std::size_t Times);
void MakeDir(const std::string& Path);

// Lines of printable text of about Size bytes, mixing one- to four-byte UTF-8 characters.
std::string Utf8Text(std::size_t Size);

// A small tmpfs over a folder, a disk that fills up for real. The test process moves into a
// mount namespace of its own first (once), so nothing is seen outside it; both need root.
class TSmallDisk {
public:
    // Empty when this process may mount (the reason otherwise).
    static std::string Unavailable();

    TSmallDisk(const std::string& Folder, std::size_t Bytes);
    ~TSmallDisk();
    TSmallDisk(const TSmallDisk&) = delete;
    TSmallDisk& operator=(const TSmallDisk&) = delete;

private:
    std::string Folder;
};

} // namespace lmvfault
