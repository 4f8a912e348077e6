#pragma once

#include "settings/FolderOptions.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QWidget;

// The options dialog's controls for folders and times: the "Folders" group and the "Keep
// modification time" check box. The widgets belong to the dialog given; it lays them out.
class TFolderOptionsBox {
public:
    explicit TFolderOptionsBox(QWidget* Dialog);

    void Show(const TFolderOptions& Options);
    // Raises Exception with the message for a bad mask list; the focus is then on its box.
    TFolderOptions Read() const;

    QGroupBox* GroupBox3 = nullptr;   // Folders
    QCheckBox* CheckBox2 = nullptr;   // Include subfolders
    QLineEdit* Edit1 = nullptr;       // File names
    QLineEdit* Edit2 = nullptr;       // Skip names
    QCheckBox* CheckBox3 = nullptr;   // Skip files that are not text
    QCheckBox* CheckBox4 = nullptr;   // Keep modification time
};
