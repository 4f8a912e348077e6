#pragma once

#include <uchardet/uchardet.h>
#include <unicode/uchar.h>
#include <unicode/ucsdet.h>
#include <unicode/uscript.h>

// The functions detection takes from uchardet and ICU. The libraries are loaded at the first
// detection rather than at every start of the program: most runs never detect, and loading them
// costs every start about a millisecond.
struct TDetectionLibraries {
    decltype(&uchardet_new) UchardetNew = nullptr;
    decltype(&uchardet_delete) UchardetDelete = nullptr;
    decltype(&uchardet_handle_data) UchardetHandleData = nullptr;
    decltype(&uchardet_data_end) UchardetDataEnd = nullptr;
    decltype(&uchardet_get_charset) UchardetGetCharset = nullptr;

    decltype(&ucsdet_open) CsdetOpen = nullptr;
    decltype(&ucsdet_close) CsdetClose = nullptr;
    decltype(&ucsdet_setText) CsdetSetText = nullptr;
    decltype(&ucsdet_detect) CsdetDetect = nullptr;
    decltype(&ucsdet_getConfidence) CsdetGetConfidence = nullptr;
    decltype(&ucsdet_getName) CsdetGetName = nullptr;

    decltype(&u_charType) CharType = nullptr;
    decltype(&u_isalpha) IsAlpha = nullptr;
    decltype(&u_isupper) IsUpper = nullptr;
    decltype(&u_islower) IsLower = nullptr;
    decltype(&uscript_getScript) GetScript = nullptr;
};

// The file names the libraries are loaded by: the versions the program was built against.
struct TDetectionLibraryNames {
    const char* Uchardet;
    const char* IcuCommon;
    const char* IcuI18n;
};
extern const TDetectionLibraryNames DetectionLibraryNames;

// Loads the libraries (they stay loaded); raises Exception with the dynamic loader's text in the
// words a user knows from a program that cannot start: "error while loading shared libraries:
// <its text>".
TDetectionLibraries LoadDetectionLibraries(const TDetectionLibraryNames& Names);

// The process's libraries, loaded on the first call from any thread; a failed load raises the
// same Exception again at every call.
const TDetectionLibraries& DetectionLibraries();
