#pragma once

// Tests of the conversion library through its entry points, loaded as the engine loads it.

#include "tests/common/IconvDifferential.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace lmvtest {

class TLibiconvTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // By full path, as the engine loads it: a sanitizer's dlopen would not find a bare name.
        Handle = dlopen((BinDir() + "/liblumiva-iconv.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(Handle, nullptr) << dlerror();
        Library.Open = reinterpret_cast<decltype(Library.Open)>(dlsym(Handle, "libiconv_open"));
        Library.Convert = reinterpret_cast<decltype(Library.Convert)>(dlsym(Handle, "libiconv"));
        Library.Close = reinterpret_cast<decltype(Library.Close)>(dlsym(Handle, "libiconv_close"));
    }
    static void TearDownTestSuite()
    {
        if (Handle)
            dlclose(Handle);
        Handle = nullptr;
    }

    static inline void* Handle = nullptr;
    static inline TLibiconvEntries Library;
};

} // namespace lmvtest
