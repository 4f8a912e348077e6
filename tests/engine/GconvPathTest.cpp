// Extra gconv configuration through GCONV_PATH. The C library reads GCONV_PATH once, at its first
// iconv_open, so the listing is checked in a fresh process: this test program run again with
// only the child test selected.
#include "engine/Lumiva.h"
#include "tests/common/RunProcess.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/ConvertOnce.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const char* const ChildMarker = "LUMIVA_TEST_GCONV_CHILD";

TEST(GconvPath, ExtraAliasesAreListedOnlyWhenTheCLibraryAcceptsThem)
{
    lmvtest::TempDir dir;
    const std::string folder = dir / "gconv";
    std::filesystem::create_directories(folder + "/gconv-modules.d/folder.conf");
    lmvtest::WriteFile(folder + "/gconv-modules",
                       "# extra names for the tests\n"
                       "alias\tLMVLATINX//\tISO-8859-1//\n"
                       "  alias LMVBOGUS// LMV-NO-SUCH-CHARSET//   # alias of nothing\n"
                       "module LMVNOMOD// INTERNAL LMV-NO-SUCH-FILE 1\n"
                       "module INTERNAL LMVNOMOD// LMV-NO-SUCH-FILE 1\n"
                       "this line means nothing\n"
                       "alias\n");
    lmvtest::WriteFile(folder + "/gconv-modules.d/extra.conf", "alias lmvlatiny// iso-8859-1//\n");
    lmvtest::WriteFile(folder + "/gconv-modules.d/notes.txt", "alias LMVNOTCONF// ISO-8859-1//\n");
    // A missing folder, an empty element and a folder without configuration are passed over.
    const std::string gconvPath = dir / "missing" + "::" + folder + ":" + dir.Path();

    const lmvtest::TProcessOutcome child = lmvtest::RunProcess(
        {"/proc/self/exe", "--gtest_filter=GconvPathChild.*"},
        lmvtest::Environment({"GCONV_PATH"}, {"GCONV_PATH=" + gconvPath, std::string(ChildMarker) + "=1"}));
    EXPECT_EQ(child.Status, 0) << "the child's failures:\n" << child.Out << child.Err;
}

// Runs only as the child of the test above.
TEST(GconvPathChild, ListsTheAcceptedExtraAliases)
{
    if (std::getenv(ChildMarker) == nullptr)
        GTEST_SKIP() << "runs in the child process of GconvPath";
    TLumiva engine;
    const TStringList& names = engine.NameList();
    EXPECT_TRUE(names.Find("LMVLATINX"));
    EXPECT_TRUE(names.Find("LMVLATINY"));
    EXPECT_FALSE(names.Find("LMVBOGUS"));
    EXPECT_FALSE(names.Find("LMVNOMOD"));
    EXPECT_FALSE(names.Find("LMVNOTCONF"));
    EXPECT_TRUE(names.Find("UTF-8"));

    TStringList groups;
    engine.GetGroups(groups);
    bool latin1 = false;
    for (const auto& line : groups)
        if (line.find("ISO-8859-1,") != std::string::npos) {
            latin1 = true;
            EXPECT_NE(line.find(",LMVLATINX,LMVLATINY,"), std::string::npos) << line;
        }
    EXPECT_TRUE(latin1);

    engine.Start("lmvlatinx", "UTF-8", 0);
    EXPECT_EQ(lmvtest::ConvertOnce(engine, "\xE9", 8).Out, "\xC3\xA9");
}

} // namespace
