#include "settings/OpenDialogList.h"
#include "settings/Settings.h"

#include "util/Exception.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

namespace {

// Stands in for the user: records what each dialog showed and answers with Action.
class TFakeRunner : public TFileDialogRunner {
public:
    std::function<bool(TFileDialog&)> Action;
    std::vector<TFileDialog> Shown;

    bool Run(TFileDialog& Dialog) override
    {
        Shown.push_back(Dialog);
        return Action ? Action(Dialog) : false;
    }
};

// Confirms the given names, the way the platform dialog reports them.
std::function<bool(TFileDialog&)> Choose(std::vector<std::string> names, int filterIndex = 0)
{
    return [names, filterIndex](TFileDialog& dialog) {
        dialog.FileName = names.front();
        dialog.Files.Clear();
        for (const std::string& name : names)
            dialog.Files.Add(name);
        if (filterIndex)
            dialog.FilterIndex = filterIndex;
        return true;
    };
}

struct TFixture {
    TFakeRunner Runner;
    TFileDialog Files, List, Save;
    TOpenDialogList DialogList{Runner};

    TFixture()
    {
        Files.Title = "Files";
        Files.MultiSelect = true;
        Files.FilterIndex = 3;
        List.Title = "List";
        Save.Title = "Save";
        Save.Kind = TFileDialog::dkSave;
        DialogList.Add(&Files);
        DialogList.Add(&List);
        DialogList.Add(&Save);
    }
};

TEST(OpenDialogList, ConfirmedFolderIsSharedByTheNextDialogAndAfterARestart)
{
    lmvtest::TempDir dir;
    TFixture f;
    f.Runner.Action = Choose({"/data/in/b.txt", "/data/in/a.txt"}, 2);
    std::string name;
    TStringList chosen{"stale"};
    ASSERT_TRUE(f.DialogList.Execute(0, name, &chosen));
    EXPECT_EQ(name, "/data/in/b.txt");
    EXPECT_EQ(chosen, (TStringList{"/data/in/b.txt", "/data/in/a.txt"}));
    EXPECT_EQ(f.DialogList.InitialDir, "/data/in");
    EXPECT_EQ(f.Files.FilterIndex, 2);
    EXPECT_EQ(f.Runner.Shown.back().InitialDir, "");

    f.Runner.Action = nullptr;
    std::string listName;
    EXPECT_FALSE(f.DialogList.Execute(1, listName));
    EXPECT_EQ(f.Runner.Shown.back().InitialDir, "/data/in");
    EXPECT_EQ(f.Runner.Shown.back().Title, "List");

    {
        TSettings settings(dir / "Settings.ini");
        settings.WriteOpenDialogList(f.DialogList);
        settings.UpdateFile();
    }
    TFixture restarted;
    TSettings settings(dir / "Settings.ini");
    settings.ReadOpenDialogList(restarted.DialogList);
    std::string saveName = "log.txt";
    restarted.DialogList.Execute(2, saveName);
    EXPECT_EQ(restarted.Runner.Shown.back().InitialDir, "/data/in");
    EXPECT_EQ(restarted.Files.FilterIndex, 2);
    EXPECT_EQ(restarted.List.FilterIndex, 1);
}

// Cancelled after changes, failed, or confirmed without a name: the caller's name and list, the
// folder and the filter stay, and the dialog keeps no selection.
TEST(OpenDialogList, AnUnconfirmedDialogChangesNothing)
{
    const std::function<bool(TFileDialog&)> actions[] = {
        [](TFileDialog& dialog) {
            dialog.FileName = "/elsewhere/x.txt";
            dialog.Files.Add("/elsewhere/x.txt");
            return false;
        },
        [](TFileDialog& dialog) -> bool {
            dialog.FileName = "/half/way.txt";
            dialog.Files.Add("/half/way.txt");
            throw std::runtime_error("dialog broke");
        },
        [](TFileDialog&) { return true; },
    };
    for (int i = 0; i < 3; ++i) {
        TFixture f;
        f.DialogList.InitialDir = "/previous";
        f.Runner.Action = actions[i];
        // A suggested name would be a confirmed one.
        std::string name = i == 2 ? "" : "keep.txt";
        const std::string suggested = name;
        TStringList chosen{"one", "two"};
        if (i == 1)
            EXPECT_THROW(f.DialogList.Execute(0, name, &chosen), std::runtime_error);
        else
            EXPECT_FALSE(f.DialogList.Execute(0, name, &chosen)) << i;
        EXPECT_EQ(name, suggested) << i;
        EXPECT_EQ(chosen, (TStringList{"one", "two"})) << i;
        EXPECT_EQ(f.DialogList.InitialDir, "/previous") << i;
        EXPECT_EQ(f.Runner.Shown.back().InitialDir, "/previous") << i;
        EXPECT_EQ(f.Files.FileName, "") << i;
        EXPECT_TRUE(f.Files.Files.Empty()) << i;
        EXPECT_EQ(f.Files.FilterIndex, 3) << i;
    }
}

TEST(OpenDialogList, FileInTheRootKeepsTheRootAsFolder)
{
    TFixture f;
    f.Runner.Action = Choose({"/list.txt"});
    std::string name;
    ASSERT_TRUE(f.DialogList.Execute(1, name));
    EXPECT_EQ(name, "/list.txt");
    EXPECT_EQ(f.DialogList.InitialDir, "/");

    f.Runner.Action = Choose({"/home/user/sub dir/log.txt"});
    ASSERT_TRUE(f.DialogList.Execute(2, name));
    EXPECT_EQ(f.DialogList.InitialDir, "/home/user/sub dir");
}

TEST(OpenDialogList, SuggestedNameIsShownThenCleared)
{
    TFixture f;
    f.Runner.Action = Choose({"/out/run.log"});
    std::string name = "Lumiva.log";
    ASSERT_TRUE(f.DialogList.Execute(2, name));
    EXPECT_EQ(f.Runner.Shown.back().FileName, "Lumiva.log");
    EXPECT_TRUE(f.Runner.Shown.back().Files.Empty());
    EXPECT_EQ(name, "/out/run.log");
    EXPECT_EQ(f.Save.FileName, "");
    EXPECT_TRUE(f.Save.Files.Empty());

    // An empty suggestion leaves the box empty, whatever the dialog held before.
    f.Save.FileName = "/stale/name.txt";
    f.Save.Files.Add("/stale/name.txt");
    f.Runner.Action = nullptr;
    std::string empty;
    EXPECT_FALSE(f.DialogList.Execute(2, empty));
    EXPECT_EQ(f.Runner.Shown.back().FileName, "");
    EXPECT_TRUE(f.Runner.Shown.back().Files.Empty());
    EXPECT_EQ(empty, "");
}

TEST(OpenDialogList, SingleChoiceFillsTheCallersList)
{
    TFixture f;
    // A runner that reports only the name still gives the caller a one-entry list.
    f.Runner.Action = [](TFileDialog& dialog) {
        dialog.FileName = "/only/one.txt";
        return true;
    };
    std::string name;
    TStringList chosen{"old"};
    ASSERT_TRUE(f.DialogList.Execute(0, name, &chosen));
    EXPECT_EQ(chosen, TStringList{"/only/one.txt"});

    // And one that reports only the list gives its first name.
    f.Runner.Action = [](TFileDialog& dialog) {
        dialog.Files.Add("/two/a.txt");
        dialog.Files.Add("/two/b.txt");
        return true;
    };
    name.clear();
    ASSERT_TRUE(f.DialogList.Execute(0, name, &chosen));
    EXPECT_EQ(name, "/two/a.txt");
    EXPECT_EQ(f.DialogList.InitialDir, "/two");
}

TEST(OpenDialogList, BadPositionThrows)
{
    TFixture f;
    std::string name;
    EXPECT_THROW(f.DialogList.Execute(3, name), Exception);
    EXPECT_TRUE(f.Runner.Shown.empty());
}

} // namespace
