// uchardet and ICU, loaded at the first sample that needs them: every function found in the libraries the
// program was built against, and a library that cannot be loaded named as the dynamic loader
// named it when it was loaded at start; the check before a run finds them without loading them.
#include "detect/DetectionLibraries.h"
#include "tests/common/TestSupport.h"
#include "util/Exception.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <string>

namespace {

// The text of the Exception that Step raises; "(none)" without one.
template <class TStep>
std::string Failure(TStep Step)
{
    try {
        Step();
    } catch (const Exception& E) {
        return E.what();
    }
    return "(none)";
}

std::string LoadFailure(const TDetectionLibraryNames& Names)
{
    return Failure([&] { LoadDetectionLibraries(Names); });
}

std::string CheckFailure(const TDetectionLibraryNames& Names)
{
    return Failure([&] { CheckDetectionLibraries(Names); });
}

TEST(DetectionLibraries, TheBuiltAgainstLibrariesGiveEveryFunction)
{
    const TDetectionLibraries& library = DetectionLibraries();
    EXPECT_EQ(&library, &DetectionLibraries()) << "loaded once";
    EXPECT_EQ(library.CharType(U'A'), U_UPPERCASE_LETTER);
    EXPECT_TRUE(library.IsAlpha(U'\u0436') && library.IsLower(U'\u0436') && library.IsUpper(U'\u0416'));
    UErrorCode status = U_ZERO_ERROR;
    EXPECT_EQ(library.GetScript(U'\u0436', &status), USCRIPT_CYRILLIC);
    uchardet_t detector = library.UchardetNew();
    ASSERT_NE(detector, nullptr);
    const std::string text = "Zw\xC3\xB6lf Boxk\xC3\xA4mpfer jagen Viktor quer \xC3\xBC" "ber den gro\xC3\x9F" "en Deich.";
    EXPECT_EQ(library.UchardetHandleData(detector, text.data(), text.size()), 0);
    library.UchardetDataEnd(detector);
    EXPECT_EQ(std::string(library.UchardetGetCharset(detector)), "UTF-8");
    library.UchardetDelete(detector);
    UCharsetDetector* icu = library.CsdetOpen(&status);
    ASSERT_TRUE(U_SUCCESS(status));
    library.CsdetSetText(icu, text.data(), static_cast<int32_t>(text.size()), &status);
    const UCharsetMatch* match = library.CsdetDetect(icu, &status);
    ASSERT_NE(match, nullptr);
    EXPECT_EQ(std::string(library.CsdetGetName(match, &status)), "UTF-8");
    EXPECT_GT(library.CsdetGetConfidence(match, &status), 0);
    library.CsdetClose(icu);
}

TEST(DetectionLibraries, ALibraryThatCannotBeLoadedIsNamedInTheLoadersWords)
{
    const TDetectionLibraryNames real = DetectionLibraryNames;
    const char* const missing = "liblumiva-no-such-library.so.0";
    const std::string expected =
        std::string("error while loading shared libraries: ") + missing + ": cannot open shared object file: No such file or directory";
    EXPECT_EQ(LoadFailure({missing, real.IcuCommon, real.IcuI18n}), expected);
    EXPECT_EQ(LoadFailure({real.Uchardet, missing, real.IcuI18n}), expected);
    EXPECT_EQ(LoadFailure({real.Uchardet, real.IcuCommon, missing}), expected);
    // A library that is there but lacks the functions: the first one missing is named.
    const std::string wrong = LoadFailure({"libz.so.1", real.IcuCommon, real.IcuI18n});
    EXPECT_EQ(wrong.rfind("symbol lookup error: ", 0), 0u) << wrong;
    EXPECT_NE(wrong.find("uchardet_new"), std::string::npos) << wrong;
    EXPECT_NE(LoadFailure({real.Uchardet, "libz.so.1", real.IcuI18n}).find("u_charType"), std::string::npos);
}

TEST(DetectionLibraries, TheCheckLoadsNothingAndNamesAMissingLibraryInTheLoadersWords)
{
    const TDetectionLibraryNames real = DetectionLibraryNames;
    const auto loaded = [&real] {
        int count = 0;
        for (const char* name : {real.Uchardet, real.IcuCommon, real.IcuI18n})
            if (void* module = dlopen(name, RTLD_NOW | RTLD_NOLOAD); module != nullptr) {
                dlclose(module);
                ++count;
            }
        return count;
    };
    // Loaded already when another test ran first in this process.
    const int before = loaded();
    EXPECT_NO_THROW(CheckDetectionLibraries());
    EXPECT_EQ(loaded(), before) << "loaded by the check";

    const char* const missing = "liblumiva-no-such-library.so.0";
    const std::string expected =
        std::string("error while loading shared libraries: ") + missing + ": cannot open shared object file: No such file or directory";
    EXPECT_EQ(CheckFailure({real.Uchardet, missing, real.IcuI18n}), expected);
    EXPECT_EQ(CheckFailure({real.Uchardet, real.IcuCommon, missing}), expected);
    // A file that is no library, where the loader would find it first.
    const lmvtest::TempDir dir;
    const std::string text = dir / "libuchardet.so.0";
    lmvtest::WriteFile(text, "not a library");
    const std::string failure = CheckFailure({text.c_str(), real.IcuCommon, real.IcuI18n});
    EXPECT_EQ(failure.rfind("error while loading shared libraries: " + text + ": ", 0), 0u) << failure;
}

} // namespace
