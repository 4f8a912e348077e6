#pragma once

#include "run/FileOutcome.h"
#include "run/Logger.h"
#include "run/SourcesFile.h"
#include "run/TextPreview.h"
#include "settings/ConvertOptions.h"
#include "settings/ConvertSpecs.h"
#include "settings/ReviewLayout.h"
#include "util/StringList.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class TReviewFilter;
class TReviewModel;
class TReviewWorker;

// What a check found, file by file, before anything is written: a table with a tick, an encoding
// and a result per file, the selected file's text as its encoding reads it, and the commands to
// convert the ticked files, each from its own encoding. Not modal; deletes itself when closed.
class TReviewWindow : public QWidget {
    Q_OBJECT
public:
    // Layout is read now and written back when the window closes; it must outlive the window.
    TReviewWindow(TReviewLayout& Layout, QWidget* Parent = nullptr);
    ~TReviewWindow() override;

    // The files the check was given and the options it ran with (rechecks use them).
    void SetCheck(TStringList Files, const TConvertOptions& Options, const TConvertSpecs& Specs);
    void AddOutcomes(std::vector<TFileOutcome>& Outcomes);
    void SetLog(const TLogger& Log);
    // The outcomes of the conversion Convert started.
    void ApplyConverted(std::vector<TFileOutcome>& Outcomes);

    // The ticked rows, each with its encoding, in run order.
    std::vector<TSourceEntry> TickedSources() const;
    const TStringList& CheckedFiles() const { return Files; }
    void SaveList();
    void SetEncodingOfSelected();

    // Convert pressed: the window's owner runs the conversion.
    std::function<void(TReviewWindow& Sender)> OnConvert;
    // Asks for a file to save to (FileName holds a proposal); false when cancelled.
    std::function<bool(std::string& FileName)> AskSaveName;
    std::function<void(const TLogger& Log)> OnSaveLog;
    // Every encoding name, for the Encoding cell and Set Encoding.
    std::function<const TStringList&()> EncodingNames;
    // Called with the text the preview shows, once it is there (tests wait for it).
    std::function<void()> OnPreviewShown;

    TReviewModel* Model = nullptr;
    TReviewFilter* Filter = nullptr;
    QTableView* Table = nullptr;
    QCheckBox* ProblemsOnly = nullptr;
    QLabel* StatusLabel = nullptr;
    QLabel* PreviewInfo = nullptr;
    QPlainTextEdit* Preview = nullptr;
    QPushButton* ConvertButton = nullptr;
    QPushButton* SaveListButton = nullptr;
    QPushButton* SaveLogButton = nullptr;
    QPushButton* CloseButton = nullptr;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

private:
    void Build();
    void UpdateStatus();
    void ToggleSelected();
    std::vector<int> SelectedRows() const;
    int CurrentRow() const;
    void RequestPreview();
    void ShowPreview(int Row, TTextPreview& Text);
    void Recheck(int Row);
    void KeepLayout();

    TReviewLayout& Layout;
    TStringList Files;
    TConvertOptions Options;
    TConvertSpecs Specs;
    TLogger Log;
    // Positions in the preview of the characters that stand for bytes that did not decode.
    std::vector<std::pair<int, QString>> Undecodable;
    int PreviewRow = -1;
    std::unique_ptr<TReviewWorker> Worker;
};
