#include "ui/SettingsPath.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using lmvtest::EnvScope;
using lmvtest::TempDir;

TEST(SettingsPath, FollowsTheUsersConfigurationFolder)
{
    TempDir dir;
    {
        EnvScope config("XDG_CONFIG_HOME", dir.Path().c_str());
        EXPECT_EQ(SettingsFileName(), dir.Path() + "/Lumiva/Settings.ini");
    }
    {
        EnvScope config("XDG_CONFIG_HOME", nullptr);
        EnvScope home("HOME", dir.Path().c_str());
        EXPECT_EQ(SettingsFileName(), dir.Path() + "/.config/Lumiva/Settings.ini");
    }
}

} // namespace
