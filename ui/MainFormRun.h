#pragma once

#include "run/ConvertThread.h"
#include "util/StringList.h"

#include <QList>
#include <QPointer>
#include <QUrl>

#include <cstdint>
#include <string>

class TLumiva;
class TMainForm;
class TProgressDialog;
class TReviewWindow;
class TRunQuestions;

// The main window's side of a run: gathers the files (file dialog, list file, drop), checks the
// options, creates the worker, shows the progress dialog while it runs and reports the end with
// the offer to save the log. The window creates it once its engine exists and owns it; the form's
// ConvertThread is the running worker, null between runs.
class TMainFormRun {
public:
    TMainFormRun(TMainForm& Form, TLumiva& Converter, TProgressDialog& ProgressDialog, TRunQuestions& Questions);

    // CheckOnly: the same run, writing nothing and asking nothing before it starts.
    void ConvertSelectedFiles(bool CheckOnly = false);
    void ConvertListedFiles(bool CheckOnly = false);
    void ConvertSelectedFolder(bool CheckOnly = false);
    // The folder chooser; on OK, Files holds the chosen folder, which the worker expands.
    bool SelectFolder(TStringList& Files);
    void ConvertDroppedFiles(const QList<QUrl>& Urls);
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
    TMainForm& Form;
    TLumiva& Converter;
    TProgressDialog& ProgressDialog;
    TRunQuestions& Questions;
    bool ConvertThreadStarted = false;
    // The Review window of the check that runs, shown when it ends.
    QPointer<TReviewWindow> Reviewing;

    TReviewWindow* NewReview(const TStringList& Files);
};
