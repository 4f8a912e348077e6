// The byte tables written at build time are what the engine decodes now: a C library updated
// since the build would make detection read bytes otherwise than the conversion does.
#include "detect/EncodingBytes.h"
#include "detect/LanguageTables.h"
#include "tests/detect/DetectorTestBase.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using EncodingBytesTest = DetectorTestBase;

TEST_F(EncodingBytesTest, BuiltTablesAreWhatTheEngineDecodes)
{
    std::size_t built = 0;
    for (const LanguageTables::TEncodingLanguages& entry : LanguageTables::Encodings()) {
        SCOPED_TRACE(std::string(entry.Encoding));
        const EncodingBytes::TTable decoded = EncodingBytes::Decode(*Engine, std::string(entry.Encoding));
        const EncodingBytes::TTable* table = EncodingBytes::Built(entry.Encoding);
        if (table == nullptr) {
            EXPECT_EQ(decoded['a'], EncodingBytes::Undecodable) << "known to the engine, but not built";
            continue;
        }
        ++built;
        EXPECT_EQ(*table, decoded);
    }
    EXPECT_EQ(built, LanguageTables::Encodings().size()) << "every encoding of the tables is one this engine knows";
    EXPECT_EQ(EncodingBytes::Built("UTF-8"), nullptr);
    // Spot checks against what the code pages are known to hold.
    ASSERT_NE(EncodingBytes::Built("WINDOWS-1251"), nullptr);
    EXPECT_EQ((*EncodingBytes::Built("WINDOWS-1251"))[0xC0], U'А');
    EXPECT_EQ((*EncodingBytes::Built("WINDOWS-1251"))[0x98], EncodingBytes::Undecodable);
    ASSERT_NE(EncodingBytes::Built("CP850"), nullptr);
    EXPECT_EQ((*EncodingBytes::Built("CP850"))[0x9E], U'×');
}

} // namespace
