#include "engine/Lumiva.h"
#include "ui/Application.h"
#include "ui/DialogQuestions.h"
#include "ui/Icons.h"
#include "ui/MainForm.h"
#include "ui/MessageBox.h"
#include "ui/ProgressDialog.h"
#include "ui/QtFileDialogRunner.h"

#include <QStringList>

#include <clocale>
#include <exception>
#include <memory>

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    TApplication application(argc, argv);
    TApplication::setApplicationName(QStringLiteral("Lumiva"));
    TApplication::setApplicationDisplayName(QStringLiteral("Lumiva"));
    TApplication::setWindowIcon(ApplicationIcon());

    try {
        // Without its conversion library the program has nothing to offer: the error is shown
        // before any window, and the program ends with a failure status.
        auto converter = std::make_unique<TLumiva>();

        TQtFileDialogRunner fileDialogs;
        TDialogQuestions questions;
        // Created before the window it serves; the window takes it as a child below, so it stays
        // above the window (also a topmost one) and goes with it.
        auto progressDialog = std::make_unique<TProgressDialog>();
        TMainForm mainForm(std::move(converter), *progressDialog, fileDialogs, questions);
        progressDialog->setParent(&mainForm, progressDialog->windowFlags());
        progressDialog.release();
        fileDialogs.Parent = &mainForm;

        QStringList parameters = TApplication::arguments();
        if (!parameters.isEmpty())
            parameters.removeFirst();
        mainForm.CommandParameters = parameters;

        mainForm.show();
        return TApplication::exec();
    } catch (const std::exception& e) {
        ShowErrorReport(e.what());
    } catch (...) {
        ShowErrorReport("");
    }
    return 1;
}
