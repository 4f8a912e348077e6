#include "settings/OpenDialogList.h"

#include "util/Exception.h"
#include "util/Mysysutils.h"

namespace {

// Whatever happens while the dialog runs, it keeps no selection afterwards.
class TSelectionReset {
public:
    explicit TSelectionReset(TFileDialog& Dialog) noexcept : Dialog(Dialog) {}
    ~TSelectionReset()
    {
        Dialog.Files.Clear();
        Dialog.FileName.clear();
    }
    TSelectionReset(const TSelectionReset&) = delete;
    TSelectionReset& operator=(const TSelectionReset&) = delete;

private:
    TFileDialog& Dialog;
};

} // namespace

bool TOpenDialogList::Execute(std::size_t Index, std::string& FileName, TStringList* Files)
{
    if (Index >= Items.size() || !Items[Index])
        throw Exception("List index out of bounds (" + std::to_string(Index) + ")");
    TFileDialog& dialog = *Items[Index];
    TSelectionReset reset(dialog);

    dialog.InitialDir = InitialDir;
    dialog.Files.Clear();
    dialog.FileName.clear();
    if (!FileName.empty())
        dialog.FileName = FileName;
    if (!Runner.Run(dialog))
        return false;

    std::string chosen = dialog.FileName;
    if (chosen.empty() && !dialog.Files.Empty())
        chosen = dialog.Files[0];
    // An OK without any name chose nothing: the caller keeps what it had.
    if (chosen.empty())
        return false;
    TStringList all = dialog.Files;
    if (all.Empty())
        all.Add(chosen);
    std::string folder = ExtractFileDir(chosen);

    FileName = std::move(chosen);
    if (Files)
        *Files = std::move(all);
    InitialDir = std::move(folder);
    return true;
}

bool TOpenDialogList::ExecuteFolder(TFileDialog& Dialog, std::string& Folder)
{
    TSelectionReset reset(Dialog);
    Dialog.InitialDir = InitialDir;
    Dialog.Files.Clear();
    Dialog.FileName.clear();
    if (!Runner.Run(Dialog) || Dialog.FileName.empty())
        return false;
    Folder = Dialog.FileName;
    InitialDir = Folder.size() > 1 && Folder.back() == '/' ? Folder.substr(0, Folder.size() - 1) : Folder;
    return true;
}
