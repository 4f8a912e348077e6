#include "libiconv/GconvCatalog.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <gnu/lib-names.h>
#include <iconv.h>
#include <link.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace lmviconv {

namespace {

// The C library's built-in encodings and aliases, which no configuration file names. They come
// from glibc's built-in alias list (iconv/gconv_builtin.h). An entry without a target is a
// built-in encoding; "INTERNAL" is the library's own form, not a name to offer.
struct TBuiltinName {
    const char* Name;
    const char* Target;
};

const TBuiltinName BuiltinNames[] = {
    {"ISO-10646/UCS4/", nullptr},
    {"UCS-4LE//", nullptr},
    {"ISO-10646/UTF8/", nullptr},
    {"ISO-10646/UCS2/", nullptr},
    {"ANSI_X3.4-1968//", nullptr},
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    {"UNICODELITTLE//", nullptr},
#else
    {"UNICODEBIG//", nullptr},
#endif
    {"UCS4//", "ISO-10646/UCS4/"},
    {"UCS-4//", "ISO-10646/UCS4/"},
    {"UCS-4BE//", "ISO-10646/UCS4/"},
    {"CSUCS4//", "ISO-10646/UCS4/"},
    {"ISO-10646//", "ISO-10646/UCS4/"},
    {"10646-1:1993//", "ISO-10646/UCS4/"},
    {"10646-1:1993/UCS4/", "ISO-10646/UCS4/"},
    {"OSF00010104//", "ISO-10646/UCS4/"},
    {"OSF00010105//", "ISO-10646/UCS4/"},
    {"OSF00010106//", "ISO-10646/UCS4/"},
    {"WCHAR_T//", "INTERNAL"},
    {"UTF8//", "ISO-10646/UTF8/"},
    {"UTF-8//", "ISO-10646/UTF8/"},
    {"ISO-IR-193//", "ISO-10646/UTF8/"},
    {"OSF05010001//", "ISO-10646/UTF8/"},
    {"ISO-10646/UTF-8/", "ISO-10646/UTF8/"},
    {"UCS2//", "ISO-10646/UCS2/"},
    {"UCS-2//", "ISO-10646/UCS2/"},
    {"OSF00010100//", "ISO-10646/UCS2/"},
    {"OSF00010101//", "ISO-10646/UCS2/"},
    {"OSF00010102//", "ISO-10646/UCS2/"},
    {"ANSI_X3.4//", "ANSI_X3.4-1968//"},
    {"ISO-IR-6//", "ANSI_X3.4-1968//"},
    {"ANSI_X3.4-1986//", "ANSI_X3.4-1968//"},
    {"ISO_646.IRV:1991//", "ANSI_X3.4-1968//"},
    {"ASCII//", "ANSI_X3.4-1968//"},
    {"ISO646-US//", "ANSI_X3.4-1968//"},
    {"US-ASCII//", "ANSI_X3.4-1968//"},
    {"US//", "ANSI_X3.4-1968//"},
    {"IBM367//", "ANSI_X3.4-1968//"},
    {"CP367//", "ANSI_X3.4-1968//"},
    {"CSASCII//", "ANSI_X3.4-1968//"},
    {"OSF00010020//", "ANSI_X3.4-1968//"},
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    {"UNICODEBIG//", "ISO-10646/UCS2/"},
    {"UCS-2BE//", "ISO-10646/UCS2/"},
    {"UCS-2LE//", "UNICODELITTLE//"},
#else
    {"UNICODELITTLE//", "ISO-10646/UCS2/"},
    {"UCS-2LE//", "ISO-10646/UCS2/"},
    {"UCS-2BE//", "UNICODEBIG//"},
#endif
};

const std::string Internal = "INTERNAL";

std::string Upper(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return result;
}

bool IsBlank(char c) noexcept
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Whole content of a regular file; false for anything else or on a read error.
bool ReadRegularFile(const std::string& path, std::string& content)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    content.clear();
    char buffer[16384];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            ok = false;
        } else if (n == 0) {
            break;
        } else {
            content.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return ok;
}

// "gconv-modules", then the "*.conf" files of "gconv-modules.d" in name order, as glibc does.
std::vector<std::string> ConfigurationFiles(const std::string& folder)
{
    std::vector<std::string> files{folder + "/gconv-modules"};
    const std::string subfolder = folder + "/gconv-modules.d";
    DIR* dir = ::opendir(subfolder.c_str());
    if (dir == nullptr)
        return files;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() > 5 && name.substr(name.size() - 5) == ".conf")
            names.emplace_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const auto& name : names)
        files.push_back(subfolder + "/" + name);
    return files;
}

class TCatalog {
public:
    void ReadFile(const std::string& path)
    {
        std::string content;
        if (!ReadRegularFile(path, content))
            return;
        std::size_t start = 0;
        while (start < content.size()) {
            std::size_t stop = content.find('\n', start);
            if (stop == std::string::npos)
                stop = content.size();
            ReadLine(std::string_view(content).substr(start, stop - start));
            start = stop + 1;
        }
    }

    void AddBuiltins()
    {
        for (const auto& entry : BuiltinNames) {
            if (entry.Target == nullptr) {
                // glibc drops a built-in encoding whose name the files made an alias.
                if (AliasNames.count(entry.Name) == 0)
                    AddModule(entry.Name);
            } else {
                AddAlias(entry.Name, entry.Target);
            }
        }
    }

    std::vector<TNameGroup> Groups() const
    {
        std::vector<TNameGroup> groups;
        std::unordered_map<std::string, std::size_t> index;
        for (const auto& name : Modules) {
            index.emplace(name, groups.size());
            groups.push_back({name});
        }
        std::unordered_set<std::string> seen;
        for (const auto& [from, to] : Aliases) {
            // An alias never overrides an encoding's own name, and the first definition wins.
            if (ModuleSet.count(from) != 0 || !seen.insert(from).second || from == to)
                continue;
            const auto [it, added] = index.emplace(to, groups.size());
            if (added)
                groups.emplace_back();
            groups[it->second].push_back(from);
        }
        std::unordered_set<std::string> listed;
        std::vector<TNameGroup> result;
        for (auto& group : groups) {
            TNameGroup names;
            for (auto& name : group) {
                std::string shown = ListedName(std::move(name));
                if (!shown.empty() && listed.insert(shown).second)
                    names.push_back(std::move(shown));
            }
            if (!names.empty())
                result.push_back(std::move(names));
        }
        return result;
    }

private:
    // glibc keeps names as "NAME//" or "PART/PART/"; users write "NAME" and "PART/PART/".
    static std::string ListedName(std::string name)
    {
        if (name.size() >= 2 && name.compare(name.size() - 2, 2, "//") == 0)
            name.resize(name.size() - 2);
        return name;
    }

    void ReadLine(std::string_view line)
    {
        const std::size_t hash = line.find('#');
        if (hash != std::string_view::npos)
            line = line.substr(0, hash);
        std::string_view words[4];
        std::size_t count = 0;
        std::size_t i = 0;
        while (count < 4) {
            while (i < line.size() && IsBlank(line[i]))
                ++i;
            if (i == line.size())
                break;
            const std::size_t begin = i;
            while (i < line.size() && !IsBlank(line[i]))
                ++i;
            words[count++] = line.substr(begin, i - begin);
        }
        if (count >= 3 && Upper(words[0]) == "ALIAS") {
            AddAlias(Upper(words[1]), Upper(words[2]));
        } else if (count >= 4 && Upper(words[0]) == "MODULE") {
            AddModule(Upper(words[1]));
            AddModule(Upper(words[2]));
        }
    }

    void AddModule(std::string name)
    {
        if (name != Internal && ModuleSet.insert(name).second)
            Modules.push_back(std::move(name));
    }

    void AddAlias(std::string from, std::string to)
    {
        AliasNames.insert(from);
        Aliases.emplace_back(std::move(from), std::move(to));
    }

    std::vector<std::string> Modules;
    std::unordered_set<std::string> ModuleSet;
    std::vector<std::pair<std::string, std::string>> Aliases;
    std::unordered_set<std::string> AliasNames;
};

std::string ParentFolder(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string CanonicalPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

} // namespace

std::vector<std::string> GconvFolders()
{
    std::vector<std::string> candidates;
    // glibc ignores GCONV_PATH in programs running with raised privileges, so do we.
    if (const char* path = ::secure_getenv("GCONV_PATH")) {
        std::string_view rest = path;
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            const std::string_view element = rest.substr(0, colon);
            if (!element.empty())
                candidates.emplace_back(element);
            if (colon == std::string_view::npos)
                break;
            rest = rest.substr(colon + 1);
        }
    }
    // The built-in folder is "gconv" beside the C library actually loaded: the object that
    // provides iconv_open, and, should that address lead elsewhere (a non-PIE program's PLT
    // entry), the object loaded under the C library's own soname.
    std::vector<std::string> libraries;
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&::iconv_open), &info) != 0 && info.dli_fname != nullptr)
        libraries.emplace_back(info.dli_fname);
    if (void* libc = ::dlopen(LIBC_SO, RTLD_LAZY | RTLD_NOLOAD)) {
        link_map* map = nullptr;
        if (::dlinfo(libc, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr)
            libraries.emplace_back(map->l_name);
        ::dlclose(libc);
    }
    for (const auto& library : libraries) {
        if (library.empty() || library.find('/') == std::string::npos)
            continue;
        candidates.push_back(ParentFolder(CanonicalPath(library)) + "/gconv");
        candidates.push_back(ParentFolder(library) + "/gconv");
    }
    std::vector<std::string> folders;
    std::unordered_set<std::string> seen;
    for (auto& folder : candidates)
        if (seen.insert(CanonicalPath(folder)).second)
            folders.push_back(std::move(folder));
    return folders;
}

std::vector<TNameGroup> ReadGconvGroups(const std::vector<std::string>& Folders)
{
    TCatalog catalog;
    for (const auto& folder : Folders)
        for (const auto& file : ConfigurationFiles(folder))
            catalog.ReadFile(file);
    catalog.AddBuiltins();
    return catalog.Groups();
}

} // namespace lmviconv
