#include "ui/DialogQuestions.h"

#include "ui/MessageBox.h"
#include "ui/MessageDialog.h"
#include "util/ButtonList.h"
#include "util/MessageBoxFlags.h"

std::int32_t TDialogQuestions::AskMessageBox(const std::string& Text, std::uint32_t Flags)
{
    return ShowMessageBox(Text, Flags, ApplicationTitle(), Parent);
}

std::int32_t TDialogQuestions::AskMessageDialog(const TMessageDialogParams& Params)
{
    TMessageDialog dialog;
    dialog.Title = ApplicationTitle().toLocal8Bit().toStdString();
    dialog.Message = Params.Text;
    ParseButtonList(Params.Buttons, dialog.Buttons);
    dialog.DefaultButton = Params.DefaultButton;
    dialog.CancelButton = Params.CancelButton;
    dialog.FocusButton = Params.FocusButton;
    dialog.DialogType = Params.DialogType;
    return dialog.Execute();
}

void TDialogQuestions::ShowError(const std::exception* E)
{
    if (E)
        ShowErrorReport(E->what(), Parent);
    else
        ShowMessageBox("An error occured.", MB_OK | MB_ICONHAND | MB_SETFOREGROUND, ApplicationTitle(), Parent);
}
