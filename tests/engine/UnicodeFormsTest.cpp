#include "engine/UnicodeForms.h"

#include "tests/common/TestSupport.h"
#include "util/Exception.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

using lmvtest::Bytes;

struct TFormCase {
    const char* ToEncoding;
    std::int32_t Utf8, Utf16, Utf32;
    const char* Target;
    std::string Signature;
};

void PrintTo(const TFormCase& c, std::ostream* os)
{
    *os << c.ToEncoding << ' ' << c.Utf8 << ' ' << c.Utf16 << ' ' << c.Utf32;
}

class UnicodeForms : public testing::TestWithParam<TFormCase> {};

TEST_P(UnicodeForms, GivesTheTargetNameAndSignatureOfItsRow)
{
    const TFormCase& c = GetParam();
    std::string target = "stale";
    std::string signature;
    ResolveTargetEncoding(c.ToEncoding, c.Utf8, c.Utf16, c.Utf32, target, signature);
    EXPECT_EQ(target, c.Target);
    EXPECT_EQ(signature, c.Signature);
}

// Every row of the decision table; the choices that do not apply hold values that would be
// refused if they were looked at.
INSTANTIATE_TEST_SUITE_P(
    DecisionTable, UnicodeForms,
    testing::Values(TFormCase{"UTF-8", 0, 9, 9, "UTF-8", ""},
                    TFormCase{"UTF-8", 1, 9, 9, "UTF-8", ""},
                    TFormCase{"uTf-8", 2, 9, 9, "uTf-8", Bytes({0xEF, 0xBB, 0xBF})},
                    TFormCase{"utf-8", 2, 2, 2, "utf-8", Bytes({0xEF, 0xBB, 0xBF})},
                    TFormCase{"utf-16", 9, 0, 9, "utf-16", ""},
                    TFormCase{"Utf-16", 9, 1, 9, "UTF-16BE", ""},
                    TFormCase{"utf-16", 9, 3, 9, "UTF-16LE", Bytes({0xFF, 0xFE})},
                    TFormCase{"UTF-16", 9, 4, 9, "UTF-16BE", Bytes({0xFE, 0xFF})},
                    TFormCase{"UTF-32", 9, 9, 0, "UTF-32", ""},
                    TFormCase{"utf-32", 9, 9, 1, "UTF-32BE", ""},
                    TFormCase{"UTF-32", 9, 9, 3, "UTF-32LE", Bytes({0xFF, 0xFE, 0x00, 0x00})},
                    TFormCase{"uTF-32", 9, 9, 4, "UTF-32BE", Bytes({0x00, 0x00, 0xFE, 0xFF})},
                    // Names that are not exactly one of the three plain forms keep their spelling
                    // and get no signature, whatever the choices hold.
                    TFormCase{"UTF-16LE", 2, 3, 3, "UTF-16LE", ""},
                    TFormCase{"UTF8", 2, 9, 9, "UTF8", ""},
                    TFormCase{"UCS-2", 9, 4, 9, "UCS-2", ""},
                    TFormCase{"UTF-32BE", 9, 9, 3, "UTF-32BE", ""},
                    TFormCase{"UTF-8 ", 2, 9, 9, "UTF-8 ", ""},
                    TFormCase{"ISO-8859-1", 9, 9, 9, "ISO-8859-1", ""}));

struct TRefusedCase {
    const char* ToEncoding;
    std::int32_t Utf8, Utf16, Utf32;
    const char* Message;
};

void PrintTo(const TRefusedCase& c, std::ostream* os)
{
    *os << c.ToEncoding << ' ' << c.Utf8 << ' ' << c.Utf16 << ' ' << c.Utf32;
}

class UnicodeFormsRefused : public testing::TestWithParam<TRefusedCase> {};

TEST_P(UnicodeFormsRefused, RaisesWithTheNameCopiedAndNoSignature)
{
    const TRefusedCase& c = GetParam();
    std::string target;
    std::string signature;
    try {
        ResolveTargetEncoding(c.ToEncoding, c.Utf8, c.Utf16, c.Utf32, target, signature);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), c.Message);
    }
    EXPECT_EQ(target, c.ToEncoding);
    EXPECT_EQ(signature, "");
}

INSTANTIATE_TEST_SUITE_P(
    UnknownChoices, UnicodeFormsRefused,
    testing::Values(TRefusedCase{"UTF-8", 3, 0, 0, "Invalid UTF-8 specification"},
                    TRefusedCase{"utf-8", -1, 0, 0, "Invalid UTF-8 specification"},
                    TRefusedCase{"UTF-16", 0, 2, 0, "Invalid UTF-16 specification"},
                    TRefusedCase{"utf-16", 0, 5, 0, "Invalid UTF-16 specification"},
                    TRefusedCase{"UTF-32", 0, 0, 2, "Invalid UTF-32 specification"},
                    TRefusedCase{"Utf-32", 0, 0, -7, "Invalid UTF-32 specification"}));

} // namespace
