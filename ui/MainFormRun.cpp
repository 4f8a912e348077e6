#include "ui/MainFormRun.h"

#include "ui/LocalText.h"
#include "ui/MainFormWidgets.h"
#include "ui/MessageBox.h"
#include "ui/OptionControls.h"
#include "ui/OptionsDialog.h"
#include "engine/Lumiva.h"
#include "ui/ProgressDialog.h"
#include "ui/QtMainThread.h"
#include "ui/ReviewWindow.h"
#include "util/Exception.h"
#include "util/MessageBoxFlags.h"

#include <QDateTime>
#include <QDir>
#include <QLabel>

#include <climits>

TMainFormRun::TMainFormRun(QWidget& Window, TMainFormWidgets& Form, TOpenDialogList& DialogList,
                           TOptionControls& Controls, TConvertOptions& Options, TLumiva& Converter,
                           TProgressDialog& ProgressDialog, TRunQuestions& Questions, TReviewLayout& ReviewLayout)
    : Window(Window), Form(Form), DialogList(DialogList), Controls(Controls), Options(Options), Converter(Converter),
      ProgressDialog(ProgressDialog), Questions(Questions), ReviewLayout(ReviewLayout)
{
}

void TMainFormRun::FilesM1Click(bool CheckOnly)
{
    TStringList files;
    std::string fileName;
    if (!DialogList.Execute(0, fileName, &files))
        return;
    ConvertFiles(files, CheckOnly);
}

void TMainFormRun::ListM1Click(bool CheckOnly)
{
    std::string fileName;
    if (!DialogList.Execute(1, fileName))
        return;
    TStringList lines;
    lines.LoadFromFile(fileName);
    // Empty lines name nothing; lines of blanks are names as they stand.
    TStringList files;
    for (const std::string& line : lines)
        if (!line.empty())
            files.Add(line);
    ConvertFiles(files, CheckOnly);
}

bool TMainFormRun::SelectFolder(TStringList& Files)
{
    std::string folder;
    if (!DialogList.ExecuteFolder(Form.FolderDialog1, folder))
        return false;
    Files.Clear();
    Files.Add(folder);
    return true;
}

void TMainFormRun::FolderM1Click(bool CheckOnly)
{
    TStringList files;
    if (SelectFolder(files))
        ConvertFiles(files, CheckOnly);
}

void TMainFormRun::WMDropFiles(const QList<QUrl>& Urls)
{
    Window.raise();
    Window.activateWindow();
    TStringList files;
    for (const QUrl& url : Urls) {
        if (!url.isLocalFile())
            continue;
        std::string name = ToLocalString(QDir::toNativeSeparators(url.toLocalFile()));
        if (name.size() >= PATH_MAX)
            throw Exception("Cannot get the name of a dropped file");
        files.Add(std::move(name));
    }
    ConvertFiles(files);
}

void TMainFormRun::ConvertFiles(const TStringList& Files, bool CheckOnly, TReviewWindow* FromReview)
{
    Options = Controls.Read();
    if (!CheckOnly && Options.Output == omOverwrite &&
        ShowMessageBox("The program overwrites source files.\r\n\r\nContinue?",
                       MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND, {}, &Window) != IDYES)
        return;

    ConvertThread = new TConvertThread(std::make_unique<TQtMainThread>(&Window), Files, &Converter, Options,
                                       Form.OptionsDialog->ConvertSpecs, Questions, Form.OptionsDialog->FolderOptions);
    ConvertThread->CheckOnly = CheckOnly;
    QPointer<TReviewWindow> review = CheckOnly ? NewReview(Files) : FromReview;
    Reviewing = CheckOnly ? review : nullptr;
    if (FromReview) {
        ConvertThread->SourceEncodings = FromReview->TickedSources();
        ConvertThread->OnlyListedSources = true;
    }
    if (review)
        ConvertThread->OnOutcomes = [review, CheckOnly](TConvertThread*, std::vector<TFileOutcome>& Outcomes) {
            Guarded([&] {
                if (review && CheckOnly)
                    review->AddOutcomes(Outcomes);
                else if (review)
                    review->ApplyConverted(Outcomes);
            });
        };
    ConvertThreadStarted = false;
    // The thread's events run on this thread while the worker waits; nothing may escape into it.
    ConvertThread->OnDone = [this](TConvertThread* Sender, TConvertState State, TLogger& Logger) {
        Guarded([&] { ConvertThreadDone(Sender, State, Logger); });
    };
    ConvertThread->OnTerminate = [this](TConvertThread* Sender) {
        Guarded([&] { ConvertThreadTerminate(Sender); });
    };
    ConvertThread->OnMessage = [this](TConvertThread* Sender, const std::string& Text) {
        Guarded([&] { ConvertThreadMessage(Sender, Text); });
    };
    ConvertThread->OnProgress = [this](TConvertThread* Sender, std::int32_t Position, std::int32_t Max) {
        Guarded([&] { ConvertThreadProgress(Sender, Position, Max); });
    };
    ConvertThread->OnReadProgress = [this](TConvertThread* Sender, const TRunProgress& Progress) {
        Guarded([&] { ConvertThreadReadProgress(Sender, Progress); });
    };

    try {
        ProgressDialog.setWindowTitle(CheckOnly ? QStringLiteral("Check") : QStringLiteral("Convert"));
        ProgressDialog.SetMessage("");
        ProgressDialog.SetButtonCaption("Cancel");
        ProgressDialog.SetPosition(0);
        ProgressDialog.OnExecute = [this](TProgressDialog*) { Guarded([this] { ProgressDialogExecute(); }); };
        ProgressDialog.OnCommand = [this](TProgressDialog*) { Guarded([this] { ProgressDialogCommand(); }); };
        ProgressDialog.ExecuteModal();
    } catch (...) {
        // A thread that never ran is its creator's to delete; a running one deletes itself.
        if (ConvertThread && !ConvertThreadStarted) {
            delete ConvertThread;
            ConvertThread = nullptr;
            if (Reviewing)
                Reviewing->deleteLater();
        }
        throw;
    }
}

void TMainFormRun::ProgressDialogExecute()
{
    if (ConvertThread) {
        ConvertThreadStarted = true;
        ConvertThread->Start();
    }
}

void TMainFormRun::ProgressDialogCommand()
{
    if (ConvertThread)
        ConvertThread->RequestAbort();
}

void TMainFormRun::ConvertThreadMessage(TConvertThread*, const std::string& Text)
{
    ProgressDialog.SetMessage(Text);
}

void TMainFormRun::ConvertThreadProgress(TConvertThread*, std::int32_t Position, std::int32_t Max)
{
    if (Position == 1)
        ProgressDialog.SetButtonCaption("Stop");
    ProgressDialog.SetProgress(Position, Max);
}

void TMainFormRun::ConvertThreadReadProgress(TConvertThread*, const TRunProgress& Progress)
{
    ProgressDialog.SetPosition(RunPercentage(Progress));
}

void TMainFormRun::ConvertThreadDone(TConvertThread*, TConvertState State, TLogger& Logger)
{
    // A check ends in its Review window instead of the summary.
    if (TReviewWindow* review = Reviewing.data()) {
        Reviewing = nullptr;
        review->SetLog(Logger);
        review->show();
        review->raise();
        review->activateWindow();
        Form.StatusLabel->setText(QStringLiteral("Done"));
        return;
    }
    try {
        std::string report;
        bool ask = Form.OptionsDialog->AssistOptions.AlwaysSaveLog;
        if (State != csCompleted) {
            report += "The operation is not completed.\r\n\r\n";
            ask = true;
        }
        if (Logger.ErrorCount > 0 || Logger.WarningCount > 0) {
            report += "There are " + std::to_string(Logger.ErrorCount) + " errors and " +
                      std::to_string(Logger.WarningCount) + " warnings.\r\n\r\n";
            ask = true;
        }
        if (ask) {
            report += "Save the log?";
            if (ShowMessageBox(report, MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND) == IDYES)
                SaveLog(Logger);
        }
    } catch (...) {
        Form.StatusLabel->setText(QStringLiteral("Done"));
        throw;
    }
    Form.StatusLabel->setText(QStringLiteral("Done"));
}

TReviewWindow* TMainFormRun::NewReview(const TStringList& Files)
{
    auto* review = new TReviewWindow(ReviewLayout, &Window);
    review->SetCheck(Files, Options, Form.OptionsDialog->ConvertSpecs);
    review->OnConvert = [this](TReviewWindow& Sender) {
        Guarded([&] { ConvertFiles(Sender.CheckedFiles(), false, &Sender); }, &Sender);
    };
    review->AskSaveName = [this](std::string& FileName) { return DialogList.Execute(2, FileName); };
    review->OnSaveLog = [this, review](const TLogger& Log) { Guarded([&] { SaveLog(Log); }, review); };
    review->EncodingNames = [this]() -> const TStringList& { return Converter.NameList(); };
    return review;
}

void TMainFormRun::ConvertThreadTerminate(TConvertThread*)
{
    ProgressDialog.Finish();
    ConvertThread = nullptr;
}

void TMainFormRun::SaveLog(const TLogger& Logger)
{
    std::string fileName =
        "LMV Log " + ToLocalString(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"))) + ".txt";
    for (;;) {
        try {
            if (!DialogList.Execute(2, fileName))
                return;
            Logger.Lines.SaveToFile(fileName);
            return;
        } catch (...) {
            if (ShowMessageBox("The program cannot save the log to the following file:\r\n\r\n" + fileName +
                                   "\r\n\r\nRetry?",
                               MB_YESNO | MB_ICONERROR | MB_SETFOREGROUND) != IDYES)
                return;
        }
    }
}
