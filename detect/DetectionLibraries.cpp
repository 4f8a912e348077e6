#include "detect/DetectionLibraries.h"

#include "util/Exception.h"
#include "util/FileDescriptor.h"

#include <unicode/uvernum.h>

#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <exception>
#include <fcntl.h>
#include <link.h>
#include <memory>
#include <string>
#include <vector>

// The linker's name for the ELF header of the executable, which tells this process's machine.
extern "C" const ElfW(Ehdr) __ehdr_start __attribute__((weak, visibility("hidden")));

#define LMV_TEXT(Name) #Name
// ICU's headers rename every function after its version ("u_charType_72"): the name to look up.
#define LMV_SYMBOL(Name) LMV_TEXT(Name)

const TDetectionLibraryNames DetectionLibraryNames = {"libuchardet.so.0", "libicuuc.so." U_ICU_VERSION_SHORT,
                                                      "libicui18n.so." U_ICU_VERSION_SHORT};

namespace {

std::string LoaderError()
{
    const char* text = dlerror();
    return text != nullptr ? std::string(text) : std::string("unknown error");
}

void* Open(const char* Name)
{
    void* module = dlopen(Name, RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr)
        throw Exception("error while loading shared libraries: " + LoaderError());
    return module;
}

template <class TFunction>
void Bind(void* Module, const char* Name, TFunction& Function)
{
    dlerror();
    Function = reinterpret_cast<TFunction>(dlsym(Module, Name));
    if (Function == nullptr)
        throw Exception("symbol lookup error: " + LoaderError());
}

// The folders the dynamic loader searches for a library the program names, in its order (the run
// path, LD_LIBRARY_PATH, the system's folders), as it reports them.
std::vector<std::string> SearchFolders()
{
    std::vector<std::string> folders;
    void* self = dlopen(nullptr, RTLD_LAZY);
    if (self == nullptr)
        return folders;
    Dl_serinfo size;
    if (dlinfo(self, RTLD_DI_SERINFOSIZE, &size) == 0) {
        const auto room = std::make_unique<std::max_align_t[]>(size.dls_size / sizeof(std::max_align_t) + 1);
        auto* info = reinterpret_cast<Dl_serinfo*>(room.get());
        *info = size;
        if (dlinfo(self, RTLD_DI_SERINFO, info) == 0)
            for (unsigned i = 0; i < info->dls_cnt; ++i)
                folders.emplace_back(info->dls_serpath[i].dls_name);
    }
    dlclose(self);
    return folders;
}

// Whether Fd holds a shared object of this process's kind, by its ELF header.
bool IsSharedObject(int Fd)
{
    ElfW(Ehdr) header;
    if (ReadUpTo(Fd, &header, sizeof header) != static_cast<ssize_t>(sizeof header))
        return false;
    const ElfW(Ehdr)* own = &__ehdr_start;
    return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
           header.e_ident[EI_CLASS] == (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32) && header.e_type == ET_DYN &&
           (own == nullptr || header.e_machine == own->e_machine);
}

// Whether the first file named Name in Folders is a shared object that the loader could load.
bool Findable(const std::vector<std::string>& Folders, const char* Name)
{
    if (std::strchr(Name, '/') != nullptr) {
        const TFd fd(::open(Name, O_RDONLY | O_CLOEXEC));
        return fd.Get() >= 0 && IsSharedObject(fd.Get());
    }
    for (const std::string& folder : Folders) {
        const std::string path = (folder.empty() ? std::string(".") : folder) + "/" + Name;
        const TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd.Get() >= 0)
            return IsSharedObject(fd.Get());
    }
    return false;
}

} // namespace

void CheckDetectionLibraries(const TDetectionLibraryNames& Names)
{
    const std::vector<std::string> folders = SearchFolders();
    for (const char* name : {Names.Uchardet, Names.IcuCommon, Names.IcuI18n})
        if (!Findable(folders, name))
            Open(name); // the loader's own words for what it cannot load; loaded, it stays
}

void CheckDetectionLibraries()
{
    static const std::exception_ptr failure = [] {
        try {
            CheckDetectionLibraries(DetectionLibraryNames);
        } catch (...) {
            return std::current_exception();
        }
        return std::exception_ptr();
    }();
    if (failure)
        std::rethrow_exception(failure);
}

TDetectionLibraries LoadDetectionLibraries(const TDetectionLibraryNames& Names)
{
    TDetectionLibraries libraries;
    void* uchardet = Open(Names.Uchardet);
    Bind(uchardet, "uchardet_new", libraries.UchardetNew);
    Bind(uchardet, "uchardet_delete", libraries.UchardetDelete);
    Bind(uchardet, "uchardet_handle_data", libraries.UchardetHandleData);
    Bind(uchardet, "uchardet_data_end", libraries.UchardetDataEnd);
    Bind(uchardet, "uchardet_get_charset", libraries.UchardetGetCharset);

    void* common = Open(Names.IcuCommon);
    Bind(common, LMV_SYMBOL(u_charType), libraries.CharType);
    Bind(common, LMV_SYMBOL(u_isalpha), libraries.IsAlpha);
    Bind(common, LMV_SYMBOL(u_isupper), libraries.IsUpper);
    Bind(common, LMV_SYMBOL(u_islower), libraries.IsLower);
    Bind(common, LMV_SYMBOL(uscript_getScript), libraries.GetScript);

    void* i18n = Open(Names.IcuI18n);
    Bind(i18n, LMV_SYMBOL(ucsdet_open), libraries.CsdetOpen);
    Bind(i18n, LMV_SYMBOL(ucsdet_close), libraries.CsdetClose);
    Bind(i18n, LMV_SYMBOL(ucsdet_setText), libraries.CsdetSetText);
    Bind(i18n, LMV_SYMBOL(ucsdet_detect), libraries.CsdetDetect);
    Bind(i18n, LMV_SYMBOL(ucsdet_getConfidence), libraries.CsdetGetConfidence);
    Bind(i18n, LMV_SYMBOL(ucsdet_getName), libraries.CsdetGetName);
    return libraries;
}

const TDetectionLibraries& DetectionLibraries()
{
    struct TLoaded {
        TDetectionLibraries Libraries;
        std::exception_ptr Failure;
    };
    static const TLoaded loaded = [] {
        TLoaded result;
        try {
            result.Libraries = LoadDetectionLibraries(DetectionLibraryNames);
        } catch (...) {
            result.Failure = std::current_exception();
        }
        return result;
    }();
    if (loaded.Failure)
        std::rethrow_exception(loaded.Failure);
    return loaded.Libraries;
}
