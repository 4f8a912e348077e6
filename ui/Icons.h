#pragma once

#include <QIcon>

// The program's pictures. The icon theme is used when it has all three tool-bar pictures, so the
// set stays consistent; otherwise the program's own drawings, which scale to any size.
QIcon ApplicationIcon();
QIcon ConvertFilesIcon(); // tool-bar image 0
QIcon SwapIcon();         // tool-bar image 1
QIcon OptionsIcon();      // tool-bar image 2
QIcon ConvertFolderIcon(); // beside image 0
