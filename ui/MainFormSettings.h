#pragma once

class TMainForm;

// The main window's settings round trip: loads its records (dialog folders, options, view, last
// position) from its settings file and saves them back, asking whether to retry when the file
// cannot be read or written. Holds nothing of its own; a window without a file name keeps none.
class TMainFormSettings {
public:
    explicit TMainFormSettings(TMainForm& Form);

    void Load();
    void Save();

private:
    TMainForm& Form;
};
