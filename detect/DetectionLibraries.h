#pragma once

#include <uchardet/uchardet.h>
#include <unicode/uchar.h>
#include <unicode/ucsdet.h>
#include <unicode/uscript.h>

// The functions detection takes from uchardet and ICU. The libraries are loaded at the first
// sample that needs them rather than at every start of the program: most runs never detect, most
// detected files are UTF-8, and loading them costs about a millisecond and 2 MiB.
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

// Whether each library can be found without loading it: a file with an ELF header of this
// process's kind, found first in the folders the dynamic loader searches (its cache aside, which
// on Debian names files in those folders). A library not found so is loaded after all, so that
// one that cannot be loaded raises LoadDetectionLibraries's Exception; one found so may still
// fail to load later, at the first sample that needs it.
void CheckDetectionLibraries(const TDetectionLibraryNames& Names);

// The process's libraries checked so, once: a run checks them before its first file, and loads
// them only for a sample that needs them (none in a run of UTF-8 files).
void CheckDetectionLibraries();
