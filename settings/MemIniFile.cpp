#include "settings/MemIniFile.h"

#include "util/IntegerText.h"

#include "util/Exception.h"
#include "util/FileAccess.h"
#include "util/FileDescriptor.h"
#include "util/FolderCache.h"
#include "util/FileAttributes.h"
#include "util/NewFile.h"
#include "util/StringList.h"

#include <cerrno>
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
    struct stat info {};
    const TFd fd = OpenRegularFile(fileName, info);
    if (fd.Get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        throw OpenError(fileName, errno);
    }
    std::string content;
    try {
        // One byte more than the size: a file that grew meanwhile is read on to its end.
        for (std::size_t room = static_cast<std::size_t>(info.st_size) + 1;; room = content.size() + 65536) {
            const std::size_t held = content.size();
            content.resize(room);
            const ssize_t n = ReadUpTo(fd.Get(), content.data() + held, room - held);
            if (n < 0)
                throw Exception("Cannot read file \"" + fileName + "\". " + std::strerror(errno));
            content.resize(held + static_cast<std::size_t>(n));
            if (content.size() < room)
                return content;
        }
    } catch (const std::bad_alloc&) {
        throw Exception("Cannot read file \"" + fileName + "\". " + std::strerror(ENOMEM));
    }
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
    if (FFileName.empty())
        throw CreateError(FFileName, ENOENT);
    const std::string text = Text();

    const std::filesystem::path folder = std::filesystem::path(FFileName).parent_path();
    std::error_code error;
    if (!folder.empty()) {
        std::filesystem::create_directories(folder, error);
        if (error)
            throw CreateError(FFileName, error.value());
    }
    // Through a symbolic link, the file it names is replaced, not the link.
    TFolderCache folders;
    TLanding target;
    if (!folders.Locate(FFileName, target))
        throw CreateError(FFileName, ELOOP);
    if (!target.Folder)
        throw CreateError(FFileName, errno);
    // A file made read-only is left alone, also by root, whom the rename would let past it.
    const bool replacing = target.Exists && S_ISREG(target.Old.st_mode);
    if (replacing && IsReadOnlyFile(target.Old))
        throw CreateError(FFileName, EACCES);

    TNewFile file(target.Folder);
    if (file.Handle() < 0)
        throw CreateError(FFileName, errno);
    if (!WriteAll(file.Handle(), text.data(), text.size()))
        throw CreateError(FFileName, errno);
    if (replacing && file.TakeOver(target.Old, false)) {
        const TFd old(::openat(target.Folder->Fd(), target.Name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (old.Get() >= 0)
            CopyAttributes(old.Get(), file.Handle());
    }
    const bool placed = target.Exists ? file.Replace(target.Name) : ::fsync(file.Handle()) == 0 && file.Link(target.Name);
    if (!placed)
        throw CreateError(FFileName, errno);
    // Make the rename itself durable; the new content is in place either way.
    const TFd dir(::openat(target.Folder->Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        ::fsync(dir.Get());
}
