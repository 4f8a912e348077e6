#include "util/Mysysutils.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cwchar>
#include <unistd.h>

std::size_t CharLength(const std::string& Text, std::size_t Index)
{
    std::mbstate_t state{};
    const std::size_t n = std::mbrlen(Text.data() + Index, Text.size() - Index, &state);
    // Invalid, cut off or NUL: step one byte.
    if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2) || n == 0)
        return 1;
    return n;
}

std::size_t Utf8SequenceLength(const unsigned char* Data, std::size_t Left)
{
    const unsigned char lead = Data[0];
    if (lead < 0x80)
        return 1;
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || length > Left)
        return 0;
    // The second byte's narrower ranges rule out overlong forms, surrogates and values past U+10FFFF.
    const unsigned char second = Data[1];
    const bool secondOk = lead == 0xE0 ? second >= 0xA0 && second <= 0xBF
                        : lead == 0xED ? second >= 0x80 && second <= 0x9F
                        : lead == 0xF0 ? second >= 0x90 && second <= 0xBF
                        : lead == 0xF4 ? second >= 0x80 && second <= 0x8F
                                       : (second & 0xC0) == 0x80;
    if (!secondOk)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((Data[i] & 0xC0) != 0x80)
            return 0;
    return length;
}

std::string WithFullStop(const std::string& Message)
{
    if (Message.empty())
        return Message;
    // The lead byte of the last whole character decides, compared unsigned.
    std::size_t last = 0;
    for (std::size_t i = 0; i < Message.size(); i += CharLength(Message, i))
        last = i;
    if (static_cast<unsigned char>(Message[last]) > static_cast<unsigned char>('.'))
        return Message + ".";
    return Message;
}

int InvalidFileNameCharPos(const std::string& Text)
{
    std::size_t i = 0;
    while (i < Text.size()) {
        const std::size_t length = CharLength(Text, i);
        if (length == 1) {
            const unsigned char c = static_cast<unsigned char>(Text[i]);
            if ((c >= 1 && c <= 31) || c == '\\' || c == '/' || c == ':' || c == ';' || c == '*' ||
                c == '?' || c == '"' || c == '<' || c == '>' || c == '|')
                return static_cast<int>(i + 1);
        }
        i += length;
    }
    return 0;
}

std::string GetLongFileName(const std::string& Path)
{
    return Path;
}

bool HasDrive(const std::string& Path)
{
    return !Path.empty() && Path[0] == '/';
}

std::string ExtractFilePath(const std::string& Path)
{
    const std::size_t slash = Path.rfind('/');
    return slash == std::string::npos ? std::string() : Path.substr(0, slash + 1);
}

std::string ExtractFileName(const std::string& Path)
{
    const std::size_t slash = Path.rfind('/');
    return slash == std::string::npos ? Path : Path.substr(slash + 1);
}

std::string ExtractFileDir(const std::string& Path)
{
    const std::size_t slash = Path.rfind('/');
    if (slash == std::string::npos)
        return {};
    if (slash == 0)
        return "/";
    return Path.substr(0, slash);
}

std::string CurrentFolder()
{
    char buffer[PATH_MAX];
    if (!::getcwd(buffer, sizeof buffer))
        return {};
    std::string folder = buffer;
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

std::string ExpandFileName(const std::string& Path, const std::string& Folder)
{
    return HasDrive(Path) ? Path : Folder + Path;
}

std::string ExpandFileName(const std::string& Path)
{
    return HasDrive(Path) ? Path : ExpandFileName(Path, CurrentFolder());
}

std::string TidyFileName(const std::string& Path)
{
    std::string tidy;
    tidy.reserve(Path.size());
    std::size_t i = 0;
    while (i < Path.size()) {
        if (Path[i] == '/') {
            if (tidy.empty() || tidy.back() != '/')
                tidy += '/';
            ++i;
            continue;
        }
        const std::size_t end = std::min(Path.find('/', i), Path.size());
        const bool dot = end - i == 1 && Path[i] == '.';
        if (!dot)
            tidy.append(Path, i, end - i);
        // "./" is dropped whole; a "." at the end leaves the folder's "/".
        i = dot && end < Path.size() ? end + 1 : end;
    }
    return tidy.empty() && !Path.empty() ? std::string(".") : tidy;
}
