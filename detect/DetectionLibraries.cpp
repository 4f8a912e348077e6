#include "detect/DetectionLibraries.h"

#include "util/Exception.h"

#include <unicode/uvernum.h>

#include <dlfcn.h>
#include <exception>
#include <string>

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

} // namespace

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
