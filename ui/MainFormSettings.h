#pragma once

#include <functional>
#include <string>

class QComboBox;
class QWidget;
class TOpenDialogList;
class TOptionControls;
class TOptionsDialog;
struct TConvertOptions;
struct TReviewLayout;
struct TViewOptions;

// The main window's settings round trip: loads its records (dialog folders, options, view, last
// position of Window, the Review window's layout) from FileName and saves them back, asking whether to retry when the file
// cannot be read or written. A window without a file name keeps none. The window creates it with
// the records it keeps, and owns it.
class TMainFormSettings {
public:
    // SetViewOptions shows loaded view options in the window; a loaded encoding that EncodingNames
    // (the window's list of names) does not hold leaves the current one.
    TMainFormSettings(QWidget& Window, const std::string& FileName, TOptionsDialog& OptionsDialog,
                      TOpenDialogList& DialogList, TOptionControls& Controls, TConvertOptions& Options,
                      const QComboBox& EncodingNames, const TViewOptions& ViewOptions, TReviewLayout& ReviewLayout,
                      std::function<void(const TViewOptions&)> SetViewOptions);

    void LoadSettings();
    // Asks whether to retry while the file cannot be written.
    void SaveSettings();
    // The desktop session ends: the options in the controls (those read last when a control does
    // not pass) and the other records, in one try without a question. Returns whether the file
    // was written.
    bool SaveAtSessionEnd();

private:
    // Runs Step until it succeeds or the user, told Problem and the file name, declines to retry.
    void RetryOnError(const std::string& Problem, const std::function<void()>& Step);
    void Read();
    void Write();

    QWidget& Window;
    const std::string& FileName;
    TOptionsDialog& OptionsDialog;
    TOpenDialogList& DialogList;
    TOptionControls& Controls;
    TConvertOptions& Options;
    const QComboBox& EncodingNames;
    const TViewOptions& ViewOptions;
    TReviewLayout& ReviewLayout;
    std::function<void(const TViewOptions&)> SetViewOptions;
};
