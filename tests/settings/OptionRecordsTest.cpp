#include "settings/ConvertOptions.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

namespace {

// The other first-start values are pinned by the first settings file the program writes.
TEST(OptionRecords, TheDefaultOutputFolderIsOnTheDesktop)
{
    lmvtest::TempDir home;
    // The desktop lookup pointed at a folder of the test.
    lmvtest::EnvScope homeDir("HOME", home.Path());
    lmvtest::EnvScope config("XDG_CONFIG_HOME", home / "config");
    EXPECT_EQ(DefaultConvertOptions().OutputDirectory, home / "Desktop/LMV Output");
}

} // namespace
