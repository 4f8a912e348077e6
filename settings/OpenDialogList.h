#pragma once

#include "util/StringList.h"

#include <cstdint>
#include <string>
#include <vector>

// What a file dialog is asked to show, and what it returns. The widgets live in the window; this
// record keeps the logic free of them.
struct TFileDialog {
    enum TKind { dkOpen, dkSave, dkFolder }; // dkFolder: one existing folder, no filter
    TKind Kind = dkOpen;
    std::string Title;
    // Description and pattern pairs: "Text files (*.txt)|*.txt|All files (*)|*".
    std::string Filter;
    std::int32_t FilterIndex = 1; // counts from 1
    std::string DefaultExt;       // save dialogs
    bool MultiSelect = false;
    std::string InitialDir;
    std::string FileName;
    TStringList Files;
};

// Shows a dialog modally. On OK it sets FileName, Files (every chosen name) and FilterIndex
// and returns true; on cancel it changes nothing and returns false.
class TFileDialogRunner {
public:
    virtual ~TFileDialogRunner() = default;
    virtual bool Run(TFileDialog& Dialog) = 0;
};

// The main window's file dialogs with their one shared folder.
class TOpenDialogList {
public:
    explicit TOpenDialogList(TFileDialogRunner& Runner) : Runner(Runner) {}

    void Add(TFileDialog* Dialog) { Items.push_back(Dialog); }
    std::size_t Count() const noexcept { return Items.size(); }
    TFileDialog* operator[](std::size_t Index) const { return Items[Index]; }

    // Runs dialog Index in InitialDir with FileName suggested. On OK: FileName is the (first)
    // chosen name, Files (when given) all of them, InitialDir their folder. The dialog keeps no
    // selection afterwards, whatever happened.
    bool Execute(std::size_t Index, std::string& FileName, TStringList* Files = nullptr);
    // Runs a folder chooser that is not in the list (it has no filter to keep) in InitialDir; on
    // OK, Folder and InitialDir are the chosen folder.
    bool ExecuteFolder(TFileDialog& Dialog, std::string& Folder);

    std::string InitialDir;

private:
    TFileDialogRunner& Runner;
    std::vector<TFileDialog*> Items;
};
