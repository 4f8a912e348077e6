#pragma once

#include "engine/EncodingForm.h"
#include "util/Exception.h"
#include "util/StringList.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// File name of the project's conversion library, found beside the executable.
extern const char* const ConversionLibraryName;

// The program's only door to the conversion library: loads it at run time, lists its encoding
// names where they are shown, checks names, and runs one conversion at a time.
class TLumiva {
public:
    class EInitError : public Exception {
    public:
        using Exception::Exception;
    };
    class EStartError : public Exception {
    public:
        using Exception::Exception;
    };

    // Loads LibraryName from the executable's own folder (a name holding '/' is taken as a path),
    // so that neither a preloaded library nor a sanitizer's dlopen changes which file is found;
    // raises EInitError naming LibraryName, with nothing left loaded. Lists nothing yet.
    explicit TLumiva(const std::string& LibraryName = ConversionLibraryName);
    virtual ~TLumiva();

    TLumiva(const TLumiva&) = delete;
    TLumiva& operator=(const TLumiva&) = delete;

    // Opens a conversion; Translation 0, 1, 2 adds nothing, "//IGNORE", "//TRANSLIT". A run of
    // files asks for the same conversion again and again: where the source keeps no state, the
    // last one's descriptor is reset instead of opening a new one.
    void Start(std::string FromCode, std::string ToCode, std::int32_t Translation);
    // Converts as far as it can; InBuf null flushes the shift state. Returns 0 when the call
    // converted everything, else the library's errno: E2BIG (output full), EILSEQ (a byte sequence
    // that is invalid or a character the target cannot hold), EINVAL (input ends inside a character).
    int Convert(const char** InBuf, std::size_t* InBytesLeft, char** OutBuf, std::size_t* OutBytesLeft);
    void Close();

    // Every name, sorted case-blind, and one line per group of aliases, sorted. The first of these
    // calls (from any thread) has the library list every name, which makes the C library load all
    // its converter modules: call them only where the names are shown. A listing failure passes.
    void GetNames(TStringList& Dest) const { Dest = NameList(); }
    void GetGroups(TStringList& Dest) const;
    const TStringList& NameList() const;

    // Whether Name is one the listing offers (letter case ignored), found without the listing: a
    // plain name that the library opens both to and from UTF-8. Any thread.
    bool IsValidEncoding(const std::string& Name) const;

private:
    using TOpenProc = void* (*)(const char* tocode, const char* fromcode);
    using TConvertProc = std::size_t (*)(void* cd, char** inbuf, std::size_t* inbytesleft, char** outbuf,
                                         std::size_t* outbytesleft);
    using TCloseProc = int (*)(void* cd);
    using TListCallback = int (*)(unsigned int namescount, const char* const* names, void* data);
    using TListProc = void (*)(TListCallback callback, void* data);

    void BuildLists() const;
    bool Opens(const char* ToCode, const char* FromCode) const noexcept;
    bool Reuses(const std::string& FromCode, const std::string& ToCode, std::int32_t Translation) noexcept;
    int ConvertOnce(const char** InBuf, std::size_t* InBytesLeft, char** OutBuf, std::size_t* OutBytesLeft);
    void Release() noexcept;
    static int ListCallback(unsigned int Count, const char* const* Names, void* Data);

    TOpenProc OpenProc = nullptr;
    TConvertProc ConvertProc = nullptr;
    TCloseProc CloseProc = nullptr;
    TListProc ListProc = nullptr;
    void* Module = nullptr;
    void* Descriptor = nullptr;
    // A conversion runs on Descriptor; when false, Descriptor is kept for a Start of the same one.
    bool Active = false;
    bool Reusable = false;
    std::string OpenFrom;
    std::string OpenTo;
    std::int32_t OpenTranslation = -1;
    TEncodingForm SourceForm = TEncodingForm::Other;
    bool SkipSignature = false;
    // The library's first call on a target with a byte order mark is slow work (it writes the
    // mark); it gets the first character alone, so that the rest goes the fast way.
    bool SplitFirst = false;
    mutable std::once_flag Listed;
    mutable TStringList Names;
    mutable TStringList Groups;
    // Names found valid so far, so that a run of many files opens each only once to check it.
    mutable std::mutex CheckedLock;
    mutable std::vector<std::string> Checked;
};
