#pragma once

#include <QStringList>

#include <functional>
#include <string>

class TMainForm;

// What a caller other than the program itself (a test, the start-up probe) may replace. The
// program passes none of these: it takes no parameters and reads no environment of its own.
struct TStartupHooks {
    // The conversion library to load by bare file name; empty: the program's own.
    std::string ConversionLibrary;
    // The settings file; empty: the user's, SettingsFileName().
    std::string SettingsFile;
    // Reports an error that ends the start-up, with the message as raised (empty for an error
    // without one); empty: the standard error report.
    std::function<void(const std::string& Message)> ReportError;
    // Called once the main window has been shown, right after its first idle step; by then the
    // window holds its options, its settings and both full encoding lists. May end the program
    // with QCoreApplication::exit(0), which leaves the loop at once and saves nothing, or close
    // the window (as would the user, or QCoreApplication::quit(), which closes all windows):
    // the controls are then checked and the settings saved.
    std::function<void(TMainForm& Window)> WindowShown;
};

// The program: creates the application object (Qt takes its own arguments), titles it, and runs
// the main window. Returns the message loop's exit code, or 1 when the start-up failed.
int RunLumiva(int argc, char** argv, const TStartupHooks& Hooks = {});

// The main window's part of RunLumiva, on an existing application object: the engine, the
// dialogs, the window with its settings, then the message loop until the window closes (with
// the application's default, closing the last window ends the loop). Parameters are the command
// parameters left after Qt's own. An error before the loop runs (the conversion library cannot be
// loaded) is reported before any window is shown and gives 1.
int RunMainWindow(const QStringList& Parameters, const TStartupHooks& Hooks = {});
