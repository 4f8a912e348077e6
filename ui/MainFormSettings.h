#pragma once

#include <functional>
#include <string>

class TMainForm;

// The main window's settings round trip: loads its records (dialog folders, options, view, last
// position) from its settings file and saves them back, asking whether to retry when the file
// cannot be read or written. Holds nothing of its own; a window without a file name keeps none.
class TMainFormSettings {
public:
    explicit TMainFormSettings(TMainForm& Form);

    void Load();
    // Asks whether to retry while the file cannot be written.
    void Save();
    // The desktop session ends: the options in the controls (those read last when a control does
    // not pass) and the other records, in one try without a question. Returns whether the file
    // was written.
    bool SaveAtSessionEnd();

private:
    // Runs Step until it succeeds or the user, told Problem and the file name, declines to retry.
    void RetryOnError(const std::string& Problem, const std::function<void()>& Step);
    void Read();
    void Write();

    TMainForm& Form;
};
