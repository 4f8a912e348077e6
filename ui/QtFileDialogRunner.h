#pragma once

#include "settings/OpenDialogList.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <string>

// Runs the file dialog records with QFileDialog: open with one or several existing files, or
// save with a default suffix and a question before an existing file is replaced, or one folder.
class TQtFileDialogRunner : public TFileDialogRunner {
public:
    explicit TQtFileDialogRunner(QWidget* Parent = nullptr) : Parent(Parent) {}

    bool Run(TFileDialog& Dialog) override;

    // "Text files (*.txt)|*.txt|HTML files (*.htm;*.html)|*.htm;*.html" -> one Qt name filter
    // per pair, "Text files (*.txt)", "HTML files (*.htm *.html)": the patterns go into the
    // parentheses where Qt reads them, replacing a pattern list the description already shows.
    static QStringList NameFilters(const std::string& Filter);

    // The window the dialogs are modal over; may be set after construction.
    QPointer<QWidget> Parent;
};
