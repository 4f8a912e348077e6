#include "ui/Startup.h"

#include "engine/Lumiva.h"
#include "ui/SettingsPath.h"
#include "ui/Application.h"
#include "ui/DialogQuestions.h"
#include "ui/Icons.h"
#include "ui/MainForm.h"
#include "ui/MessageBox.h"
#include "ui/ProgressDialog.h"
#include "ui/QtFileDialogRunner.h"

#include <clocale>
#include <exception>
#include <memory>

namespace {

void Report(const TStartupHooks& Hooks, const std::string& Message)
{
    if (Hooks.ReportError)
        Hooks.ReportError(Message);
    else
        ShowErrorReport(Message);
}

} // namespace

int RunLumiva(int argc, char** argv, const TStartupHooks& Hooks)
{
    std::setlocale(LC_ALL, "");
    TApplication application(argc, argv);
    // No display name: Qt would append it to the title of every window.
    TApplication::setApplicationName(QStringLiteral("Lumiva"));
    // The desktop entry's name: the desktop matches the window to its menu entry and icon.
    TApplication::setDesktopFileName(QStringLiteral("io.github.lumiva.Lumiva"));
    TApplication::setWindowIcon(ApplicationIcon());

    QStringList parameters = TApplication::arguments();
    if (!parameters.isEmpty())
        parameters.removeFirst();
    return RunMainWindow(parameters, Hooks);
}

int RunMainWindow(const QStringList& Parameters, const TStartupHooks& Hooks)
{
    try {
        // Without its conversion library the program has nothing to offer: the error is shown
        // before any window, and the program ends with a failure status.
        auto converter = Hooks.ConversionLibrary.empty() ? std::make_unique<TLumiva>()
                                                         : std::make_unique<TLumiva>(Hooks.ConversionLibrary);

        TQtFileDialogRunner fileDialogs;
        TDialogQuestions questions;
        // Created before the window it serves; the window takes it as a child below, so it stays
        // above the window (also a topmost one) and goes with it.
        auto progressDialog = std::make_unique<TProgressDialog>();
        TMainForm mainForm(std::move(converter), *progressDialog, fileDialogs, questions,
                           Hooks.SettingsFile.empty() ? SettingsFileName() : Hooks.SettingsFile);
        progressDialog->setParent(&mainForm, progressDialog->windowFlags());
        progressDialog.release();
        fileDialogs.Parent = &mainForm;
        mainForm.CommandParameters = Parameters;
        if (Hooks.WindowShown)
            mainForm.OnFirstIdle = [&mainForm, &Hooks] { Hooks.WindowShown(mainForm); };

        mainForm.show();
        return TApplication::exec();
    } catch (const std::exception& e) {
        Report(Hooks, e.what());
    } catch (...) {
        Report(Hooks, std::string());
    }
    return 1;
}
