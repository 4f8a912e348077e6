#pragma once

#include <cstddef>

// The entry points of GNU libiconv, with its C signatures. Only these leave the library.
#define LUMIVA_ICONV_EXPORT extern "C" __attribute__((visibility("default")))

LUMIVA_ICONV_EXPORT void* libiconv_open(const char* tocode, const char* fromcode);
LUMIVA_ICONV_EXPORT std::size_t libiconv(void* cd, char** inbuf, std::size_t* inbytesleft, char** outbuf,
                                         std::size_t* outbytesleft);
LUMIVA_ICONV_EXPORT int libiconv_close(void* cd);
LUMIVA_ICONV_EXPORT void libiconvlist(int (*do_one)(unsigned int namescount, const char* const* names, void* data),
                                      void* data);
