#include "settings/MemIniFile.h"

#include "util/IntegerText.h"

#include "util/Exception.h"
#include "util/FileAccess.h"
#include "util/FileDescriptor.h"
#include "util/StringList.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsBlank(char c) noexcept
{
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view Trim(std::string_view text) noexcept
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

Exception OpenError(const std::string& fileName, int error)
{
    return Exception("Cannot open file \"" + fileName + "\". " + std::strerror(error));
}

Exception CreateError(const std::string& fileName, int error)
{
    return Exception("Cannot create file \"" + fileName + "\". " + std::strerror(error));
}

// The whole content of a regular file. A missing file reads as empty.
std::string ReadWholeFile(const std::string& fileName)
{
    // Non-blocking, so that a FIFO at the path cannot hang the program; it is refused below.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        throw OpenError(fileName, errno);
    }
    std::string content;
    try {
        struct stat info {};
        if (::fstat(fd, &info) != 0)
            throw OpenError(fileName, errno);
        if (S_ISDIR(info.st_mode))
            throw OpenError(fileName, EISDIR);
        if (!S_ISREG(info.st_mode))
            throw OpenError(fileName, EINVAL);
        content.reserve(static_cast<std::size_t>(info.st_size));
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                throw Exception("Cannot read file \"" + fileName + "\". " + std::strerror(errno));
            }
            if (n == 0)
                break;
            content.append(buffer, static_cast<std::size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        ::close(fd);
        throw Exception("Cannot read file \"" + fileName + "\". " + std::strerror(ENOMEM));
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    return content;
}

// A new file "<folder>/.<name>.XXXXXX" for writing, created with mode 0666 less the umask.
int CreateSiblingFile(const std::filesystem::path& target, std::string& tempName)
{
    static std::atomic<unsigned> counter{0};
    const std::string base = (target.parent_path() / ("." + target.filename().string() + ".")).string();
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::uint64_t seed = static_cast<std::uint64_t>(
                                 std::chrono::steady_clock::now().time_since_epoch().count()) ^
                             (static_cast<std::uint64_t>(::getpid()) << 32) ^
                             (static_cast<std::uint64_t>(counter.fetch_add(1)) * 0x9E3779B97F4A7C15ull);
        std::string name = base;
        for (int i = 0; i < 6; ++i) {
            name += letters[seed % 36];
            seed /= 36;
        }
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            tempName = name;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

bool HasLineBreakOrNul(std::string_view text) noexcept
{
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

} // namespace

bool TMemIniFile::TLessText::operator()(std::string_view a, std::string_view b) const noexcept
{
    return CompareText(a, b) < 0;
}

void TMemIniFile::TSection::AddLine(std::string Line)
{
    const std::size_t equal = Line.find('=');
    if (equal != std::string::npos) {
        const std::string_view key(Line.data(), equal);
        if (Keys.find(key) == Keys.end())
            Keys.emplace(std::string(key), Lines.size());
    }
    Lines.push_back(std::move(Line));
}

TMemIniFile::TMemIniFile(std::string FileName) : FFileName(std::move(FileName))
{
    SetText(ReadWholeFile(FFileName));
}

void TMemIniFile::SetText(std::string_view Text)
{
    Sections.clear();
    SectionIndex.clear();
    const std::size_t nul = Text.find('\0');
    if (nul != std::string_view::npos)
        Text = Text.substr(0, nul);

    TSection* current = nullptr;
    std::size_t start = 0;
    while (start < Text.size()) {
        std::size_t stop = Text.find_first_of("\r\n", start);
        if (stop == std::string_view::npos)
            stop = Text.size();
        // Empty lines are dropped, so CR LF may split like CR and LF apart.
        const std::string_view line = Trim(Text.substr(start, stop - start));
        start = stop + 1;
        if (line.empty() || line.front() == ';')
            continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            current = &AddSection(std::string(Trim(line.substr(1, line.size() - 2))));
            continue;
        }
        if (!current)
            continue;
        const std::size_t equal = line.find('=');
        if (equal == std::string_view::npos) {
            current->AddLine(std::string(line));
            continue;
        }
        const std::string_view key = Trim(line.substr(0, equal));
        const std::string_view value = Trim(line.substr(equal + 1));
        std::string joined;
        joined.reserve(key.size() + 1 + value.size());
        joined.append(key).append(1, '=').append(value);
        current->AddLine(std::move(joined));
    }
}

TMemIniFile::TSection& TMemIniFile::AddSection(std::string Name)
{
    if (SectionIndex.find(Name) == SectionIndex.end())
        SectionIndex.emplace(Name, Sections.size());
    Sections.push_back(TSection{std::move(Name), {}, {}});
    return Sections.back();
}

const TMemIniFile::TSection* TMemIniFile::FindSection(std::string_view Name) const
{
    const auto it = SectionIndex.find(Name);
    return it == SectionIndex.end() ? nullptr : &Sections[it->second];
}

bool TMemIniFile::SectionExists(std::string_view Section) const
{
    return FindSection(Section) != nullptr;
}

bool TMemIniFile::ValueExists(std::string_view Section, std::string_view Key) const
{
    const TSection* section = FindSection(Section);
    return section && section->Keys.find(Key) != section->Keys.end();
}

std::string TMemIniFile::ReadString(std::string_view Section, std::string_view Key,
                                    const std::string& Default) const
{
    const TSection* section = FindSection(Section);
    if (!section)
        return Default;
    const auto it = section->Keys.find(Key);
    if (it == section->Keys.end())
        return Default;
    const std::string& line = section->Lines[it->second];
    return line.substr(line.find('=') + 1);
}

void TMemIniFile::WriteString(std::string_view Section, std::string_view Key, std::string_view Value)
{
    // A line break would split the line and smuggle text into other keys or sections.
    if (HasLineBreakOrNul(Section) || HasLineBreakOrNul(Key) || HasLineBreakOrNul(Value))
        throw Exception("Cannot write a line break to the settings file \"" + FFileName + "\"");
    std::string line;
    line.reserve(Key.size() + 1 + Value.size());
    line.append(Key).append(1, '=').append(Value);

    const auto found = SectionIndex.find(Section);
    TSection& section = found == SectionIndex.end() ? AddSection(std::string(Section))
                                                    : Sections[found->second];
    const auto key = section.Keys.find(Key);
    if (key != section.Keys.end())
        section.Lines[key->second] = std::move(line);
    else
        section.AddLine(std::move(line));
}

std::int32_t TMemIniFile::ReadInteger(std::string_view Section, std::string_view Key,
                                      std::int32_t Default) const
{
    std::int32_t value = 0;
    return TryStrToInt(ReadString(Section, Key, std::string()), value) ? value : Default;
}

void TMemIniFile::WriteInteger(std::string_view Section, std::string_view Key, std::int32_t Value)
{
    WriteString(Section, Key, std::to_string(Value));
}

bool TMemIniFile::ReadBool(std::string_view Section, std::string_view Key, bool Default) const
{
    return ReadInteger(Section, Key, Default ? 1 : 0) != 0;
}

void TMemIniFile::WriteBool(std::string_view Section, std::string_view Key, bool Value)
{
    WriteString(Section, Key, Value ? "1" : "0");
}

std::string TMemIniFile::Text() const
{
    std::size_t size = 0;
    for (const TSection& section : Sections) {
        size += section.Name.size() + 6;
        for (const std::string& line : section.Lines)
            size += line.size() + 2;
    }
    std::string text;
    text.reserve(size);
    for (const TSection& section : Sections) {
        text.append(1, '[').append(section.Name).append("]\r\n");
        for (const std::string& line : section.Lines)
            text.append(line).append("\r\n");
        text.append("\r\n");
    }
    return text;
}

void TMemIniFile::UpdateFile()
{
    namespace fs = std::filesystem;
    if (FFileName.empty())
        throw CreateError(FFileName, ENOENT);
    const std::string text = Text();

    // Through a symbolic link, the file it names is replaced, not the link.
    fs::path target(FFileName);
    std::error_code error;
    if (fs::is_symlink(fs::symlink_status(target, error))) {
        const fs::path resolved = fs::canonical(target, error);
        if (!error)
            target = resolved;
    }
    const fs::path folder = target.parent_path();
    if (!folder.empty()) {
        fs::create_directories(folder, error);
        if (error)
            throw CreateError(FFileName, error.value());
    }

    // A file made read-only is left alone, also by root, whom the rename would let past it.
    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    if (replacing && IsReadOnlyFile(old))
        throw CreateError(FFileName, EACCES);

    std::string tempName;
    const int fd = CreateSiblingFile(target, tempName);
    if (fd < 0)
        throw CreateError(FFileName, errno);
    if (replacing)
        ::fchmod(fd, old.st_mode & 07777);

    bool written = WriteAll(fd, text.data(), text.size()) && ::fsync(fd) == 0;
    int failure = written ? 0 : errno;
    if (::close(fd) != 0 && written) {
        written = false;
        failure = errno;
    }
    if (written && ::rename(tempName.c_str(), target.c_str()) != 0) {
        written = false;
        failure = errno;
    }
    if (!written) {
        ::unlink(tempName.c_str());
        throw CreateError(FFileName, failure);
    }
    // Make the rename itself durable; the new content is in place either way.
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}
