// The Review window after a check: its rows and results, ticks, an encoding chosen per file,
// Convert from the rows' own encodings, Save List read back by lumiva-batch, Problems only, and
// the preview of a failing file.

#include "tests/common/RunProcess.h"
#include "tests/common/TestSupport.h"
#include "tests/ui/WindowFixture.h"
#include "ui/MainForm.h"
#include "ui/ReviewWindow.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QTextCursor>
#include <QToolTip>
#include <QInputDialog>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <filesystem>
#include <string>

namespace {

using lmvtest::Q;
using lmvtest::ReadFile;
using lmvtest::TModalScript;
using lmvtest::WriteFile;

class ReviewWindowTest : public lmvtest::TWindowFixture<lmvtest::TScriptedFileDialogs> {
protected:
    void SetUp() override
    {
        TWindowFixture::SetUp();
        Show();
        std::filesystem::create_directories(Dir / "src/sub");
        WriteFile(Dir / "src/a.txt", "plain\n");
        WriteFile(Dir / "src/sub/b.txt", "first\nsecond caf\xE9 au lait\n"); // Latin-1, not UTF-8
        Form->ComboBox1->setEditText(QStringLiteral("UTF-8"));
        Form->ComboBox2->setEditText(QStringLiteral("UTF-16LE"));
        Form->Edit11->setText(Q(Dir / "out"));
    }

    // Check > Folder... on src; the Review window it opens.
    TReviewWindow* CheckFolder()
    {
        Dialogs.Answers = {{Dir / "src"}};
        TModalScript script;
        Form->FolderM2->trigger();
        EXPECT_TRUE(script.Finished());
        auto* review = Form->findChild<TReviewWindow*>();
        EXPECT_NE(review, nullptr);
        return review;
    }

    static QString Cell(TReviewWindow* Review, int Row, int Column)
    {
        return Review->Table->model()->index(Row, Column).data().toString();
    }
    static bool Ticked(TReviewWindow* Review, int Row)
    {
        return Review->Table->model()->index(Row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
    }
    static void SetEncoding(TReviewWindow* Review, int Row, const QString& Name)
    {
        QAbstractItemModel* model = Review->Table->model();
        ASSERT_TRUE(model->setData(model->index(Row, 2), Name));
    }

    lmvtest::TempDir Dir;
};

TEST_F(ReviewWindowTest, CheckShowsEveryFileWithItsResultInsteadOfTheSummary)
{
    TReviewWindow* review = CheckFolder();
    ASSERT_NE(review, nullptr);
    EXPECT_TRUE(review->isVisible());
    EXPECT_FALSE(review->isModal());
    EXPECT_EQ(review->windowTitle(), QStringLiteral("Review"));
    QAbstractItemModel* model = review->Table->model();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Name"));
    EXPECT_EQ(model->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Result"));
    EXPECT_EQ(Cell(review, 0, 0), QStringLiteral("a.txt"));
    EXPECT_EQ(Cell(review, 1, 0), QStringLiteral("sub/b.txt"));
    EXPECT_EQ(Cell(review, 1, 1), QStringLiteral("26"));
    EXPECT_EQ(Cell(review, 0, 2), QStringLiteral("UTF-8"));
    EXPECT_EQ(Cell(review, 0, 3), QStringLiteral("OK"));
    EXPECT_EQ(Cell(review, 1, 3), QStringLiteral("Invalid byte sequence at line 2, column 11"));
    EXPECT_TRUE(Ticked(review, 0));
    EXPECT_FALSE(Ticked(review, 1));
    EXPECT_EQ(review->StatusLabel->text(), QStringLiteral("2 files: 1 OK, 1 problems, 1 not ticked"));
    EXPECT_EQ(Form->StatusText(), "Done");
    EXPECT_FALSE(std::filesystem::exists(Dir / "out"));

    // Space toggles the current row's tick; Problems only leaves the failing row.
    review->Table->setFocus();
    review->Table->setCurrentIndex(model->index(0, 0));
    QTest::keyClick(review->Table, Qt::Key_Space);
    EXPECT_FALSE(Ticked(review, 0));
    EXPECT_EQ(review->StatusLabel->text(), QStringLiteral("2 files: 1 OK, 1 problems, 2 not ticked"));
    QTest::keyClick(review->Table, Qt::Key_Space);
    EXPECT_TRUE(Ticked(review, 0));
    review->ProblemsOnly->setChecked(true);
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(Cell(review, 0, 0), QStringLiteral("sub/b.txt"));
    review->ProblemsOnly->setChecked(false);
    EXPECT_EQ(model->rowCount(), 2);

    // Sorting by Size puts the larger file first when descending.
    review->Table->sortByColumn(1, Qt::DescendingOrder);
    EXPECT_EQ(Cell(review, 0, 0), QStringLiteral("sub/b.txt"));
    review->close();
}

TEST_F(ReviewWindowTest, PreviewMarksTheFailingByteAndNamesItsValue)
{
    TReviewWindow* review = CheckFolder();
    ASSERT_NE(review, nullptr);
    bool shown = false;
    review->OnPreviewShown = [&] { shown = true; };
    review->Table->setCurrentIndex(review->Table->model()->index(1, 0));
    QTRY_VERIFY(shown);
    const QString text = review->Preview->toPlainText();
    EXPECT_EQ(text, QStringLiteral("first\nsecond caf") + QChar(0xFFFD) + QStringLiteral(" au lait\n"));
    const QList<QTextEdit::ExtraSelection> marks = review->Preview->extraSelections();
    ASSERT_EQ(marks.size(), 1);
    EXPECT_EQ(marks[0].cursor.selectedText(), QString(QChar(0xFFFD)));
    EXPECT_EQ(marks[0].cursor.selectionStart(), static_cast<int>(text.indexOf(QChar(0xFFFD))));
    EXPECT_EQ(review->Preview->textCursor().position(), marks[0].cursor.selectionStart());
    EXPECT_TRUE(review->PreviewInfo->text().contains(QStringLiteral("Encoding: UTF-8")));
    EXPECT_TRUE(review->PreviewInfo->text().contains(QStringLiteral("Line ends: LF")));
    EXPECT_TRUE(review->PreviewInfo->text().contains(QStringLiteral("Signature: no")));

    // Pointing at the replacement character tells the byte it stands for.
    QTextCursor at(review->Preview->document());
    at.setPosition(static_cast<int>(text.indexOf(QChar(0xFFFD))));
    const QPoint point = review->Preview->cursorRect(at).center() + QPoint(2, 0);
    QHelpEvent help(QEvent::ToolTip, point, review->Preview->viewport()->mapToGlobal(point));
    QApplication::sendEvent(review->Preview->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Bytes that do not decode: 0xE9"));
    QToolTip::hideText();
    review->close();
}

TEST_F(ReviewWindowTest, AnEncodingChosenForAFailingFileMakesItOkAndConvertUsesEachFilesOwn)
{
    TReviewWindow* review = CheckFolder();
    ASSERT_NE(review, nullptr);
    SetEncoding(review, 1, QStringLiteral("ISO-8859-1"));
    QTRY_COMPARE(Cell(review, 1, 3), QStringLiteral("OK"));
    EXPECT_EQ(Cell(review, 1, 2), QStringLiteral("ISO-8859-1"));
    EXPECT_TRUE(Ticked(review, 1));
    EXPECT_EQ(review->StatusLabel->text(), QStringLiteral("2 files: 2 OK, 0 problems, 0 not ticked"));

    // The list names each ticked file with its encoding, and lumiva-batch converts from it.
    Dialogs.Answers = {{Dir / "sources.txt"}};
    review->SaveListButton->click();
    EXPECT_EQ(ReadFile(Dir / "sources.txt"),
              "UTF-8\t" + (Dir / "src/a.txt") + "\nISO-8859-1\t" + (Dir / "src/sub/b.txt") + "\n");
    const lmvtest::TProcessOutcome batch =
        lmvtest::RunProcess({lmvtest::BinDir() + "/lumiva-batch", "--sources", Dir / "sources.txt", "--to", "UTF-8",
                             "--output-dir", Dir / "batch"},
                            lmvtest::Environment({}, {"HOME=" + (Dir / "home")}));
    EXPECT_EQ(batch.Status, 0) << batch.Err;
    EXPECT_EQ(ReadFile(Dir / "batch/b.txt"), "first\nsecond caf\xC3\xA9 au lait\n");
    EXPECT_NE(batch.Out.find("\t- Source encoding: ISO-8859-1"), std::string::npos);

    // Convert with the main window's current To: each file from its own encoding, the tree kept.
    Form->ComboBox2->setEditText(QStringLiteral("UTF-8"));
    TModalScript script;
    QTest::keyClick(review->Table, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(ReadFile(Dir / "out/src/a.txt"), "plain\n");
    EXPECT_EQ(ReadFile(Dir / "out/src/sub/b.txt"), "first\nsecond caf\xC3\xA9 au lait\n");
    EXPECT_EQ(Cell(review, 0, 3), QStringLiteral("Converted"));
    EXPECT_EQ(Cell(review, 1, 3), QStringLiteral("Converted"));
    // Converted rows are unticked: a second Convert would read them again from the source.
    EXPECT_FALSE(Ticked(review, 1));
    EXPECT_FALSE(review->ConvertButton->isEnabled());
    review->close();
}

TEST_F(ReviewWindowTest, OnlyTickedRowsAreConvertedAndTheLayoutIsKept)
{
    WriteFile(Dir / "src/c.txt", "third\n");
    TReviewWindow* review = CheckFolder();
    ASSERT_NE(review, nullptr);
    ASSERT_EQ(review->Table->model()->rowCount(), 3);
    // Rows in run order: a.txt, c.txt, sub/b.txt. Untick c.txt.
    ASSERT_EQ(Cell(review, 1, 0), QStringLiteral("c.txt"));
    review->Table->model()->setData(review->Table->model()->index(1, 0), Qt::Unchecked, Qt::CheckStateRole);
    TModalScript script;
    review->ConvertButton->click();
    EXPECT_TRUE(script.Finished());
    EXPECT_TRUE(std::filesystem::exists(Dir / "out/src/a.txt"));
    EXPECT_FALSE(std::filesystem::exists(Dir / "out/src/c.txt"));
    EXPECT_FALSE(std::filesystem::exists(Dir / "out/src/sub/b.txt"));
    EXPECT_EQ(Cell(review, 1, 3), QStringLiteral("OK"));

    review->resize(700, 450);
    review->Table->setColumnWidth(0, 222);
    review->close();
    EXPECT_EQ(Form->ReviewLayout.Width, 700);
    EXPECT_EQ(Form->ReviewLayout.Height, 450);
    ASSERT_FALSE(Form->ReviewLayout.ColumnWidths.empty());
    EXPECT_EQ(Form->ReviewLayout.ColumnWidths[0], 222);
}

TEST_F(ReviewWindowTest, DetectedFilesOfferTheirRunnersUpFirstInTheEncodingCell)
{
    Form->ComboBox1->setCurrentIndex(0); // Auto-detect
    // Russian in Windows-1251: read by the legacy detectors, which weigh several readings.
    WriteFile(Dir / "src/a.txt", std::string("\xCF\xF0\xE8\xE2\xE5\xF2\x2C\x20\xEC\xE8\xF0\x21\x20\xDD\xF2\xEE\x20\xEE\xE1\xFB\xF7\xED\xFB\xE9\x20\xF0\xF3\xF1\xF1\xEA\xE8\xE9\x20\xF2\xE5\xEA\xF1\xF2\x2C\x20\xED\xE0\xEF\xE8\xF1\xE0\xED\xED\xFB\xE9\x20\xE4\xEB\xFF\x20\xEF\xF0\xEE\xE2\xE5\xF0\xEA\xE8\x20\xEE\xEF\xF0\xE5\xE4\xE5\xEB\xE5\xED\xE8\xFF\x20\xEA\xEE\xE4\xE8\xF0\xEE\xE2\xEA\xE8\x2E\x20\xD1\xFA\xE5\xF8\xFC\x20\xE6\xE5\x20\xE5\xF9\xB8\x20\xFD\xF2\xE8\xF5\x20\xEC\xFF\xE3\xEA\xE8\xF5\x20\xF4\xF0\xE0\xED\xF6\xF3\xE7\xF1\xEA\xE8\xF5\x20\xE1\xF3\xEB\xEE\xEA\x20\xE4\xE0\x20\xE2\xFB\xEF\xE5\xE9\x20\xF7\xE0\xFE\x2E\x0A"));
    TReviewWindow* review = CheckFolder();
    ASSERT_NE(review, nullptr);
    const QString detected = Cell(review, 0, 2);
    ASSERT_FALSE(detected.isEmpty()) << Cell(review, 0, 3).toStdString();
    review->Table->setFocus();
    review->Table->setCurrentIndex(review->Table->model()->index(0, 0));
    QTest::keyClick(review->Table, Qt::Key_F2);
    auto* editor = review->Table->findChild<QComboBox*>(QStringLiteral("EncodingEditor"));
    ASSERT_NE(editor, nullptr);
    ASSERT_GT(editor->count(), 2);
    EXPECT_TRUE(editor->itemText(0).startsWith(detected + QStringLiteral(" ("))) << editor->itemText(0).toStdString();
    EXPECT_TRUE(editor->itemText(0).endsWith(QStringLiteral("%)")));
    EXPECT_EQ(editor->currentData().toString(), detected);
    review->close();
}

TEST_F(ReviewWindowTest, SetEncodingChangesEverySelectedRowAndChecksThemAgain)
{
    WriteFile(Dir / "src/c.txt", "na\xEFve\n");
    TReviewWindow* review = CheckFolder();
    ASSERT_NE(review, nullptr);
    QAbstractItemModel* model = review->Table->model();
    ASSERT_EQ(model->rowCount(), 3);
    review->Table->selectAll();
    auto* action = review->Table->findChild<QAction*>(QStringLiteral("SetEncodingAction"));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QStringLiteral("Set &Encoding..."));
    TModalScript script;
    script.Step([](QWidget* W) { return qobject_cast<QInputDialog*>(W) != nullptr; },
                [](QWidget* W) {
                    auto* dialog = static_cast<QInputDialog*>(W);
                    dialog->setTextValue(QStringLiteral("ISO-8859-1"));
                    dialog->accept();
                });
    action->trigger();
    EXPECT_TRUE(script.Done());
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(Cell(review, row, 2), QStringLiteral("ISO-8859-1"));
        QTRY_COMPARE(Cell(review, row, 3), QStringLiteral("OK"));
    }
    EXPECT_EQ(review->StatusLabel->text(), QStringLiteral("3 files: 3 OK, 0 problems, 0 not ticked"));
    review->close();
}

TEST(ReviewWindowSettings, TheLayoutIsKeptInASectionAfterTheOthersOnlyOnceUsed)
{
    lmvtest::TempDir dir;
    const std::string path = dir / "Settings.ini";
    lmvtest::TWindowParts parts;
    parts.Window(path)->Settings->SaveSettings();
    const std::string unused = ReadFile(path);
    EXPECT_EQ(unused.find("[Review]"), std::string::npos);
    {
        const auto form = parts.Window(path);
        form->ReviewLayout = {640, 480, {200, 60, 110, 250}};
        form->Settings->SaveSettings();
    }
    const std::string used = ReadFile(path);
    EXPECT_EQ(used.substr(0, unused.size()), unused);
    EXPECT_EQ(used.substr(unused.size()), "[Review]\r\nWidth=640\r\nHeight=480\r\nColumn1=200\r\nColumn2=60\r\n"
                                          "Column3=110\r\nColumn4=250\r\n\r\n");
    const auto form = parts.Window(path);
    EXPECT_EQ(form->ReviewLayout.Width, 640);
    EXPECT_EQ(form->ReviewLayout.Height, 480);
    EXPECT_EQ(form->ReviewLayout.ColumnWidths, (std::vector<std::int32_t>{200, 60, 110, 250}));
    // The window opens with it.
    TReviewWindow review(form->ReviewLayout);
    EXPECT_EQ(review.size(), QSize(640, 480));
    EXPECT_EQ(review.Table->columnWidth(2), 110);
}

} // namespace
