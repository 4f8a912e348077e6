#pragma once

// The conversion library beside the fuzzer, as the engine finds it beside the program.

#include "tests/common/IconvDifferential.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace lmvtest {

inline TLibiconvEntries LoadLibraryBesideFuzzer()
{
    char self[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string();
    path = path.substr(0, path.rfind('/') + 1) + "liblumiva-iconv.so";
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        std::abort();
    }
    TLibiconvEntries entries;
    entries.Open = reinterpret_cast<decltype(entries.Open)>(dlsym(handle, "libiconv_open"));
    entries.Convert = reinterpret_cast<decltype(entries.Convert)>(dlsym(handle, "libiconv"));
    entries.Close = reinterpret_cast<decltype(entries.Close)>(dlsym(handle, "libiconv_close"));
    return entries;
}

} // namespace lmvtest
