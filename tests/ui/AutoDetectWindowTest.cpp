// "Auto-detect" in the main window: first in the From list only, valid there, and no swap.
#include "tests/ui/WindowFixture.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QComboBox>
#include <QToolButton>

namespace {

class AutoDetectWindowTest : public lmvtest::TWindowFixture<lmvtest::TNoFileDialogs> {
protected:
    // The message of the check of Control; empty when it passes.
    std::string CheckMessage(QWidget* Control)
    {
        try {
            Form->Controls->ValidateControl(Control);
        } catch (const std::exception& E) {
            return E.what();
        }
        return {};
    }
};

TEST_F(AutoDetectWindowTest, ValidForFromInAnyCaseButNotForTo)
{
    Form->ComboBox1->setEditText(QStringLiteral("auto-detect"));
    EXPECT_EQ(CheckMessage(Form->ComboBox1), "");
    EXPECT_EQ(Form->ComboBox1->currentText(), QStringLiteral("Auto-detect"));
    Form->ComboBox2->setEditText(QStringLiteral("Auto-detect"));
    EXPECT_EQ(CheckMessage(Form->ComboBox2), "Select an item in the list");
}

TEST_F(AutoDetectWindowTest, SwapIsDisabledWhileFromIsAutoDetect)
{
    Show();
    Form->ComboBox1->setCurrentIndex(0);
    EXPECT_FALSE(Form->SwapFromAndToM1->isEnabled());
    EXPECT_FALSE(Form->SwapFromAndToT1->isEnabled());
    // The shortcut does nothing either.
    Form->ComboBox2->setFocus();
    QTest::keyClick(Form.get(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(Form->ComboBox1->currentText(), QStringLiteral("Auto-detect"));
    EXPECT_EQ(Form->ComboBox2->currentText(), QStringLiteral("UTF-16"));

    Form->ComboBox1->setEditText(QStringLiteral("UTF-8"));
    EXPECT_TRUE(Form->SwapFromAndToM1->isEnabled());
    EXPECT_TRUE(Form->SwapFromAndToT1->isEnabled());
    Form->SwapFromAndToM1->trigger();
    EXPECT_EQ(Form->ComboBox1->currentText(), QStringLiteral("UTF-16"));
}

} // namespace
