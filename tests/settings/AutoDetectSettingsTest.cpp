// "Auto-detect" as the From choice goes through the settings file like any encoding name.
#include "settings/AutoDetect.h"
#include "settings/Settings.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(AutoDetectSettings, StoredUnderItsOwnSpellingAndReadBack)
{
    lmvtest::TempDir dir;
    const std::string path = dir / "Settings.ini";
    TConvertOptions options = DefaultConvertOptions();
    options.FromEncoding = AutoDetectEncoding;
    {
        TSettings settings(path);
        settings.WriteConvertOptions(options);
        settings.UpdateFile();
    }
    EXPECT_NE(lmvtest::ReadFile(path).find("FromEncoding=\"Auto-detect\"\r\n"), std::string::npos);
    TSettings settings(path);
    const TConvertOptions loaded = settings.ReadConvertOptions(DefaultConvertOptions());
    EXPECT_EQ(loaded.FromEncoding, "Auto-detect");
    EXPECT_TRUE(IsAutoDetect(loaded.FromEncoding));
    EXPECT_TRUE(IsAutoDetect("auto-DETECT"));
    EXPECT_FALSE(IsAutoDetect("auto"));
    EXPECT_FALSE(IsAutoDetect("UTF-8"));
}

} // namespace
