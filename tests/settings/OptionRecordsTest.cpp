#include "settings/AssistOptions.h"
#include "settings/ConvertOptions.h"
#include "settings/ConvertSpecs.h"
#include "settings/ViewOptions.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(OptionRecords, DefaultsAreTheFirstStartValues)
{
    lmvtest::TempDir home;
    // The desktop lookup pointed at a folder of the test.
    lmvtest::EnvScope homeDir("HOME", home.Path());
    lmvtest::EnvScope config("XDG_CONFIG_HOME", home / "config");
    const TConvertOptions options = DefaultConvertOptions();
    EXPECT_EQ(options.FromEncoding, "UTF-8");
    EXPECT_EQ(options.ToEncoding, "UTF-16");
    EXPECT_EQ(options.Translation, trNone);
    EXPECT_EQ(options.BufferSize, 65536);
    EXPECT_EQ(options.Output, omDirectory);
    EXPECT_EQ(options.OutputDirectory, home / "Desktop/LMV Output");
    EXPECT_EQ(options.OutputPrefix, "Output - ");
    EXPECT_TRUE(options.BackupSrcFiles);
    EXPECT_EQ(options.BackupPrefix, "Backup - ");

    EXPECT_EQ(DefaultConvertSpecs(), (TConvertSpecs{0, 0, 0}));
    EXPECT_FALSE(DefaultAssistOptions().AlwaysSaveLog);
    EXPECT_EQ(DefaultViewOptions(), (TViewOptions{true, true, false, false}));
}

TEST(OptionRecords, ZeroStateIsNotTheDefaults)
{
    const TConvertOptions zero;
    EXPECT_TRUE(zero.FromEncoding.empty());
    EXPECT_EQ(zero.BufferSize, 0);
    EXPECT_FALSE(zero.BackupSrcFiles);
    EXPECT_EQ(TViewOptions(), (TViewOptions{false, false, false, false}));
}

TEST(OptionRecords, ViewOptionsCompareEveryFlag)
{
    TViewOptions a = DefaultViewOptions();
    TViewOptions b = a;
    EXPECT_EQ(a, b);
    b.Topmost = true;
    EXPECT_NE(a, b);
    b = a;
    b.LastPosition = true;
    EXPECT_NE(a, b);
}

TEST(OptionRecords, CopiesAreIndependentValues)
{
    TConvertOptions a = DefaultConvertOptions();
    TConvertOptions b = a;
    b.OutputPrefix = "changed";
    EXPECT_EQ(a.OutputPrefix, "Output - ");
    TConvertOptions& alias = a;
    a = alias;
    EXPECT_EQ(a.OutputPrefix, "Output - ");
    // A hand-edited value outside the choices is kept as it is.
    TConvertSpecs specs;
    specs.Utf16 = usWithBom;
    TConvertSpecs copy = specs;
    EXPECT_EQ(copy.Utf16, 2);
}

} // namespace
