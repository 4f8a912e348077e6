#pragma once

#include "run/ConvertThread.h"
#include "util/StringList.h"

#include <QList>
#include <QPointer>
#include <QUrl>

#include <cstdint>
#include <string>

class QWidget;
class TLumiva;
class TOpenDialogList;
class TOptionControls;
class TProgressDialog;
class TReviewWindow;
struct TReviewLayout;
class TRunQuestions;
struct TMainFormWidgets;

// The main window's side of a run: gathers the files (file dialog, list file, drop), reads the
// options from the controls into Options, creates the worker, shows the progress dialog while it
// runs and reports the end with the offer to save the log and "Done" in the status line. The
// window creates it once its engine exists and owns it; it owns the running worker.
class TMainFormRun {
public:
    // Window parents the questions and the Review window and is the worker's main thread; Form
    // gives the dialogs; ReviewLayout is the Review window's size and column widths.
    TMainFormRun(QWidget& Window, TMainFormWidgets& Form, TOpenDialogList& DialogList, TOptionControls& Controls,
                 TConvertOptions& Options, TLumiva& Converter, TProgressDialog& ProgressDialog,
                 TRunQuestions& Questions, TReviewLayout& ReviewLayout);

    // The running worker, null between runs.
    TConvertThread* ConvertThread = nullptr;

    // The File > Convert items and their tool buttons; with CheckOnly the File > Check items
    // (FilesM2, ListM2, FolderM2): the same run, writing nothing and asking nothing before it starts.
    void FilesM1Click(bool CheckOnly = false);
    void ListM1Click(bool CheckOnly = false);
    void FolderM1Click(bool CheckOnly = false);
    // The folder chooser; on OK, Files holds the chosen folder, which the worker expands.
    bool SelectFolder(TStringList& Files);
    void WMDropFiles(const QList<QUrl>& Urls);
    // A check opens the Review window; FromReview converts that window's ticked rows, each from
    // its own encoding, and shows their outcomes there.
    void ConvertFiles(const TStringList& Files, bool CheckOnly = false, TReviewWindow* FromReview = nullptr);

    // The worker's and the progress dialog's events.
    void ConvertThreadDone(TConvertThread* Sender, TConvertState State, TLogger& Logger);
    void ConvertThreadTerminate(TConvertThread* Sender);
    void ConvertThreadMessage(TConvertThread* Sender, const std::string& Text);
    void ConvertThreadProgress(TConvertThread* Sender, std::int32_t Position, std::int32_t Max);
    // Moves the bar within a large file; the file boundaries stay ConvertThreadProgress's.
    void ConvertThreadReadProgress(TConvertThread* Sender, const TRunProgress& Progress);
    void ProgressDialogExecute();
    void ProgressDialogCommand();
    void SaveLog(const TLogger& Logger);

private:
    QWidget& Window;
    TMainFormWidgets& Form;
    TOpenDialogList& DialogList;
    TOptionControls& Controls;
    TConvertOptions& Options;
    TLumiva& Converter;
    TProgressDialog& ProgressDialog;
    TRunQuestions& Questions;
    TReviewLayout& ReviewLayout;
    bool ConvertThreadStarted = false;
    // The Review window of the check that runs, shown when it ends.
    QPointer<TReviewWindow> Reviewing;

    TReviewWindow* NewReview(const TStringList& Files);
};
