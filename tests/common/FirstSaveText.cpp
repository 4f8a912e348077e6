#include "tests/common/FirstSaveText.h"

namespace lmvtest {

std::string FirstSaveText(const std::string& OutputDirectory, int Left, int Top)
{
    return "[OpenDialogList]\r\n"
           "InitialDir=\"\"\r\n"
           "FilterIndex0=3\r\n"
           "FilterIndex1=1\r\n"
           "FilterIndex2=1\r\n"
           "\r\n"
           "[ConvertOptions]\r\n"
           "FromEncoding=\"UTF-8\"\r\n"
           "ToEncoding=\"UTF-16\"\r\n"
           "Translation=0\r\n"
           "BufferSize=65536\r\n"
           "Output=0\r\n"
           "OutputDirectory=\"" +
           OutputDirectory +
           "\"\r\n"
           "OutputPrefix=\"Output - \"\r\n"
           "BackupSrcFiles=1\r\n"
           "BackupPrefix=\"Backup - \"\r\n"
           "\r\n"
           "[ConvertSpecs]\r\n"
           "Utf8=0\r\n"
           "Utf16=0\r\n"
           "Utf32=0\r\n"
           "\r\n"
           "[AssistOptions]\r\n"
           "AlwaysSaveLog=0\r\n"
           "\r\n"
           "[ViewOptions]\r\n"
           "ToolBar=1\r\n"
           "StatusBar=1\r\n"
           "LastPosition=0\r\n"
           "Topmost=0\r\n"
           "\r\n"
           "[LastPosition]\r\n"
           "Left=" +
           std::to_string(Left) + "\r\nTop=" + std::to_string(Top) + "\r\n\r\n";
}

std::string FolderSectionsFirstSaveText()
{
    return "[Folders]\r\nIncludeSubfolders=1\r\nFileNames=\"*\"\r\nSkipNames=\".*\"\r\nSkipNonText=1\r\n\r\n"
           "[Results]\r\nKeepModificationTime=0\r\n\r\n";
}

} // namespace lmvtest
