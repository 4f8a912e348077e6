#include "ui/FolderOptionsBox.h"

#include "util/NameMasks.h"
#include "ui/LocalText.h"
#include "util/Exception.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {

std::string CheckedMasks(QLineEdit* Edit, bool AllowEmpty)
{
    std::string text = ToLocalString(Edit->text());
    if (const std::string message = CheckNameMasks(text, AllowEmpty); !message.empty()) {
        Edit->setFocus(Qt::OtherFocusReason);
        Edit->selectAll();
        throw Exception(message);
    }
    return text;
}

} // namespace

TFolderOptionsBox::TFolderOptionsBox(QWidget* Dialog)
{
    GroupBox3 = new QGroupBox(QStringLiteral("Folders"), Dialog);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    CheckBox2 = new QCheckBox(QStringLiteral("&Include subfolders"), GroupBox3);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    Edit1 = new QLineEdit(GroupBox3);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit2 = new QLineEdit(GroupBox3);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    CheckBox3 = new QCheckBox(QStringLiteral("Skip files that are not &text"), GroupBox3);
    CheckBox3->setObjectName(QStringLiteral("CheckBox3"));
    CheckBox4 = new QCheckBox(QStringLiteral("Keep &modification time"), Dialog);
    CheckBox4->setObjectName(QStringLiteral("CheckBox4"));

    auto* grid = new QGridLayout(GroupBox3);
    grid->addWidget(CheckBox2, 0, 0, 1, 2);
    int row = 1;
    for (const auto& [caption, edit] : {std::pair{QStringLiteral("File &names:"), Edit1},
                                        std::pair{QStringLiteral("S&kip names:"), Edit2}}) {
        auto* label = new QLabel(caption, GroupBox3);
        label->setObjectName(QStringLiteral("Label%1").arg(row + 3));
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        ++row;
    }
    grid->addWidget(CheckBox3, row, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    QWidget::setTabOrder(CheckBox2, Edit1);
    QWidget::setTabOrder(Edit1, Edit2);
    QWidget::setTabOrder(Edit2, CheckBox3);
    QWidget::setTabOrder(CheckBox3, CheckBox4);
}

void TFolderOptionsBox::Show(const TFolderOptions& Options)
{
    CheckBox2->setChecked(Options.IncludeSubfolders);
    Edit1->setText(ToQString(Options.FileNames));
    Edit2->setText(ToQString(Options.SkipNames));
    CheckBox3->setChecked(Options.SkipNonText);
    CheckBox4->setChecked(Options.KeepTime);
}

TFolderOptions TFolderOptionsBox::Read() const
{
    TFolderOptions options;
    options.IncludeSubfolders = CheckBox2->isChecked();
    options.FileNames = CheckedMasks(Edit1, false);
    options.SkipNames = CheckedMasks(Edit2, true);
    options.SkipNonText = CheckBox3->isChecked();
    options.KeepTime = CheckBox4->isChecked();
    return options;
}
