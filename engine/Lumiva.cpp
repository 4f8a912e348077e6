#include "engine/Lumiva.h"

#include "util/ProgramFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <exception>

const char* const ConversionLibraryName = LUMIVA_ICONV_LIBRARY_NAME;

namespace {

void* const FailedDescriptor = reinterpret_cast<void*>(static_cast<std::uintptr_t>(-1));

// What the listing callback fills. The library calls back from its own code, which may be C:
// a failure is kept here and raised again once the listing has returned.
struct TListTarget {
    TStringList* Names;
    TStringList* Groups;
    std::exception_ptr Error;
};

bool NeedsQuotes(const std::string& Name) noexcept
{
    for (const char c : Name) {
        const auto code = static_cast<unsigned char>(c);
        if (code <= 32 || c == '"' || c == ',')
            return true;
    }
    return false;
}

void AppendGroupName(std::string& Line, const std::string& Name)
{
    if (!NeedsQuotes(Name)) {
        Line += Name;
        return;
    }
    Line += '"';
    for (const char c : Name) {
        if (c == '"')
            Line += '"';
        Line += c;
    }
    Line += '"';
}

// The sorted names joined by commas; a group whose only name is empty gives "".
std::string GroupLine(const TStringList& Sorted)
{
    if (Sorted.Count() == 1 && Sorted[0].empty())
        return "\"\"";
    std::string line;
    for (std::size_t i = 0; i < Sorted.Count(); ++i) {
        if (i > 0)
            line += ',';
        AppendGroupName(line, Sorted[i]);
    }
    return line;
}

// The characters of the names the C library lists. It would quietly drop a blank or parentheses
// in odd places, and it reads "//" or a comma as the start of suffixes: such a spelling is not a
// listed name even where the library opens it.
bool IsPlainName(const std::string& Name) noexcept
{
    if (Name.empty() || Name.find("//") != std::string::npos)
        return false;
    return std::all_of(Name.begin(), Name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               std::strchr("-_.:()/", c) != nullptr;
    });
}

} // namespace

TLumiva::TLumiva(const std::string& LibraryName)
{
    try {
        Module = dlopen(ProgramFolderFile(LibraryName).c_str(), RTLD_NOW | RTLD_LOCAL);
        bool bound = Module != nullptr;
        if (bound)
            bound = (OpenProc = reinterpret_cast<TOpenProc>(dlsym(Module, "libiconv_open"))) != nullptr;
        if (bound)
            bound = (ConvertProc = reinterpret_cast<TConvertProc>(dlsym(Module, "libiconv"))) != nullptr;
        if (bound)
            bound = (CloseProc = reinterpret_cast<TCloseProc>(dlsym(Module, "libiconv_close"))) != nullptr;
        if (bound)
            bound = (ListProc = reinterpret_cast<TListProc>(dlsym(Module, "libiconvlist"))) != nullptr;
        if (!bound)
            throw EInitError("Cannot initialize \"" + LibraryName + "\"");
    } catch (...) {
        Release();
        throw;
    }
}

TLumiva::~TLumiva()
{
    Release();
}

const TStringList& TLumiva::NameList() const
{
    std::call_once(Listed, [this] { BuildLists(); });
    return Names;
}

void TLumiva::GetGroups(TStringList& Dest) const
{
    NameList();
    Dest = Groups;
}

// A failure leaves both lists empty and the next call tries again.
void TLumiva::BuildLists() const
{
    try {
        TListTarget target{&Names, &Groups, nullptr};
        ListProc(&TLumiva::ListCallback, &target);
        if (target.Error)
            std::rethrow_exception(target.Error);
        Names.Sort();
        Groups.Sort();
    } catch (...) {
        Names.Clear();
        Groups.Clear();
        throw;
    }
}

void TLumiva::Release() noexcept
{
    Close();
    if (Descriptor != nullptr) {
        CloseProc(Descriptor);
        Descriptor = nullptr;
    }
    Groups.Clear();
    Names.Clear();
    OpenProc = nullptr;
    ConvertProc = nullptr;
    CloseProc = nullptr;
    ListProc = nullptr;
    if (Module != nullptr) {
        dlclose(Module);
        Module = nullptr;
    }
}

int TLumiva::ListCallback(unsigned int Count, const char* const* Names, void* Data)
{
    auto* target = static_cast<TListTarget*>(Data);
    if (target->Error)
        return 1;
    try {
        TStringList group;
        for (unsigned int i = 0; i < Count; ++i)
            group.Add(Names[i] != nullptr ? std::string(Names[i]) : std::string());
        group.Sort();
        target->Names->Append(group);
        target->Groups->Add(GroupLine(group));
    } catch (...) {
        // Stop the listing rather than unwind through the library's frames.
        target->Error = std::current_exception();
        return 1;
    }
    return 0;
}

bool TLumiva::IsValidEncoding(const std::string& Name) const
{
    if (!IsPlainName(Name))
        return false;
    {
        const std::lock_guard<std::mutex> lock(CheckedLock);
        for (const std::string& known : Checked)
            if (SameText(known, Name))
                return true;
    }
    if (!Opens(Name.c_str(), "UTF-8") || !Opens("UTF-8", Name.c_str()))
        return false;
    const std::lock_guard<std::mutex> lock(CheckedLock);
    Checked.push_back(Name);
    return true;
}

bool TLumiva::Opens(const char* ToCode, const char* FromCode) const noexcept
{
    void* descriptor = OpenProc(ToCode, FromCode);
    if (descriptor == FailedDescriptor)
        return false;
    CloseProc(descriptor);
    return true;
}

void TLumiva::Start(std::string FromCode, std::string ToCode, std::int32_t Translation)
{
    Close();
    try {
        if (!IsValidEncoding(FromCode))
            throw EStartError("Invalid encoding: " + FromCode);
        if (!IsValidEncoding(ToCode))
            throw EStartError("Invalid encoding: " + ToCode);
        if (Translation < 0 || Translation > 2)
            throw EStartError("Invalid translation identifier");
        SourceForm = EncodingForm(FromCode);
        if (!Reuses(FromCode, ToCode, Translation)) {
            if (Descriptor != nullptr) {
                CloseProc(Descriptor);
                Descriptor = nullptr;
            }
            const std::string target = ToCode + (Translation == 1 ? "//IGNORE" : Translation == 2 ? "//TRANSLIT" : "");
            void* descriptor = OpenProc(target.c_str(), FromCode.c_str());
            if (descriptor == FailedDescriptor)
                throw EStartError("Cannot start converting character encoding");
            Descriptor = descriptor;
            Reusable = KeepsNoState(SourceForm);
            OpenTranslation = Translation;
            OpenFrom = FromCode;
            OpenTo = ToCode;
        }
        Active = true;
        SkipSignature = SameText(FromCode, "UTF-8");
        // Transliteration may write a second mark in the call that wrote the first one, so only
        // the other translations can have their first call cut short.
        SplitFirst = Translation == 0 && KeepsNoState(SourceForm) && WritesMark(EncodingForm(ToCode));
    } catch (...) {
        // Nothing stays open, not even a kept descriptor.
        Close();
        if (Descriptor != nullptr) {
            CloseProc(Descriptor);
            Descriptor = nullptr;
        }
        throw;
    }
}

// A reset takes the kept descriptor back to where a new one starts: no shift state, and the mark
// written again.
bool TLumiva::Reuses(const std::string& FromCode, const std::string& ToCode, std::int32_t Translation) noexcept
{
    return Descriptor != nullptr && Reusable && Translation == OpenTranslation && FromCode == OpenFrom &&
           ToCode == OpenTo && ConvertProc(Descriptor, nullptr, nullptr, nullptr, nullptr) != static_cast<std::size_t>(-1);
}

int TLumiva::Convert(const char** InBuf, std::size_t* InBytesLeft, char** OutBuf, std::size_t* OutBytesLeft)
{
    if (SkipSignature) {
        SkipSignature = false;
        // A flush (no input) has nothing to look at.
        if (InBuf != nullptr && *InBuf != nullptr && InBytesLeft != nullptr && *InBytesLeft >= 3 &&
            std::memcmp(*InBuf, "\xEF\xBB\xBF", 3) == 0) {
            *InBuf += 3;
            *InBytesLeft -= 3;
        }
    }
    if (SplitFirst && InBuf != nullptr && *InBuf != nullptr && InBytesLeft != nullptr && *InBytesLeft > 0) {
        SplitFirst = false;
        const std::size_t head =
            FirstCharacterLength(SourceForm, reinterpret_cast<const unsigned char*>(*InBuf), *InBytesLeft);
        const std::size_t rest = *InBytesLeft - head;
        if (rest > 0) {
            *InBytesLeft = head;
            const int first = ConvertOnce(InBuf, InBytesLeft, OutBuf, OutBytesLeft);
            *InBytesLeft += rest;
            // Where the first character stops the call, the whole call would have stopped too.
            if (first != 0 && first != EINVAL)
                return first;
        }
    }
    return ConvertOnce(InBuf, InBytesLeft, OutBuf, OutBytesLeft);
}

int TLumiva::ConvertOnce(const char** InBuf, std::size_t* InBytesLeft, char** OutBuf, std::size_t* OutBytesLeft)
{
    // libiconv does not write through the input pointer; its C signature only lacks the const.
    errno = 0;
    if (ConvertProc(Active ? Descriptor : nullptr, const_cast<char**>(InBuf), InBytesLeft, OutBuf, OutBytesLeft) !=
        static_cast<std::size_t>(-1))
        return 0;
    return errno != 0 ? errno : EILSEQ;
}

void TLumiva::Close()
{
    SkipSignature = false;
    SplitFirst = false;
    if (!Active)
        return;
    Active = false;
    if (!Reusable && Descriptor != nullptr) {
        CloseProc(Descriptor);
        Descriptor = nullptr;
    }
}
