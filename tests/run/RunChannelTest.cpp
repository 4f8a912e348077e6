#include "run/RunChannel.h"

#include "run/StepLoop.h"
#include "util/Exception.h"
#include "util/MessageBoxFlags.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace {

class TAnswers : public TRunQuestions {
public:
    std::deque<std::int32_t> Answers;
    std::vector<std::string> Asked;

    std::int32_t AskMessageBox(const std::string& Text, std::uint32_t) override
    {
        Asked.push_back(Text);
        const std::int32_t answer = Answers.empty() ? IDNO : Answers.front();
        if (!Answers.empty())
            Answers.pop_front();
        return answer;
    }
    std::int32_t AskMessageDialog(const TMessageDialogParams& Params) override
    {
        Asked.push_back(Params.Text);
        return 3;
    }
    void ShowError(const std::exception* E) override { Asked.push_back(E ? E->what() : "(none)"); }
};

TEST(RunChannel, AbortRequestsAreAskedOnceAtTheNextCheckPointAndAYesStaysAnswered)
{
    TStepLoop loop; // this thread's: steps run at once
    TAnswers questions;
    TRunChannel channel(&loop, questions);

    EXPECT_FALSE(channel.CheckAbort());
    EXPECT_TRUE(questions.Asked.empty());

    questions.Answers = {IDNO};
    channel.RequestAbort();
    channel.RequestAbort();
    EXPECT_FALSE(channel.CheckAbort());
    EXPECT_FALSE(channel.CheckAbort());
    EXPECT_EQ(questions.Asked, std::vector<std::string>{"Abort the operation?"});

    questions.Answers = {IDYES};
    std::thread([&channel] { channel.RequestAbort(); }).join();
    EXPECT_TRUE(channel.CheckAbort());
    channel.RequestAbort();
    EXPECT_TRUE(channel.CheckAbort());
    EXPECT_EQ(questions.Asked.size(), 2u);
}

TEST(RunChannel, StateTextsGoOnlyToAListenerAndAMissingMainThreadRaises)
{
    TStepLoop loop;
    TAnswers questions;
    TRunChannel channel(&loop, questions);
    channel.ReportStatus("unheard");
    std::vector<std::string> shown;
    channel.OnStatus = [&shown](const std::string& Text) { shown.push_back(Text); };
    channel.ReportStatus("Searching...");
    EXPECT_EQ(shown, std::vector<std::string>{"Searching..."});
    TMessageDialogParams overwrite;
    overwrite.Text = "Overwrite?";
    EXPECT_EQ(channel.AskMessageDialog(overwrite), 3);

    TRunChannel nowhere(nullptr, questions);
    EXPECT_THROW(nowhere.AskMessageBox("Abort the operation?", MB_YESNO), Exception);
    EXPECT_THROW(nowhere.ShowError(nullptr), Exception);
    EXPECT_EQ(questions.Asked, std::vector<std::string>{"Overwrite?"});
}

} // namespace
