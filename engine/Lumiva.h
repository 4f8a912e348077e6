#pragma once

#include "util/Exception.h"
#include "util/StringList.h"

#include <cstddef>
#include <cstdint>
#include <string>

// File name of the project's conversion library, found beside the executable.
extern const char* const ConversionLibraryName;

// The program's only door to the conversion library: loads it at run time, keeps its encoding
// names, and runs one conversion at a time.
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

    // Loads LibraryName by bare file name; raises EInitError with nothing left loaded.
    explicit TLumiva(const std::string& LibraryName = ConversionLibraryName);
    virtual ~TLumiva();

    TLumiva(const TLumiva&) = delete;
    TLumiva& operator=(const TLumiva&) = delete;

    // Opens a conversion; Translation 0, 1, 2 adds nothing, "//IGNORE", "//TRANSLIT".
    void Start(std::string FromCode, std::string ToCode, std::int32_t Translation);
    // Converts as far as it can; InBuf null flushes the shift state. Returns 0 when the call
    // converted everything, else the library's errno: E2BIG (output full), EILSEQ (a byte sequence
    // that is invalid or a character the target cannot hold), EINVAL (input ends inside a character).
    int Convert(const char** InBuf, std::size_t* InBytesLeft, char** OutBuf, std::size_t* OutBytesLeft);
    void Close();

    void GetNames(TStringList& Dest) const { Dest = Names; }
    void GetGroups(TStringList& Dest) const { Dest = Groups; }
    const TStringList& NameList() const noexcept { return Names; }

private:
    using TOpenProc = void* (*)(const char* tocode, const char* fromcode);
    using TConvertProc = std::size_t (*)(void* cd, char** inbuf, std::size_t* inbytesleft, char** outbuf,
                                         std::size_t* outbytesleft);
    using TCloseProc = int (*)(void* cd);
    using TListCallback = int (*)(unsigned int namescount, const char* const* names, void* data);
    using TListProc = void (*)(TListCallback callback, void* data);

    bool IsValidEncoding(const std::string& Name) const noexcept;
    void Release() noexcept;
    static int ListCallback(unsigned int Count, const char* const* Names, void* Data);

    TOpenProc OpenProc = nullptr;
    TConvertProc ConvertProc = nullptr;
    TCloseProc CloseProc = nullptr;
    TListProc ListProc = nullptr;
    void* Module = nullptr;
    void* Descriptor = nullptr;
    bool SkipSignature = false;
    TStringList Names;
    TStringList Groups;
};
