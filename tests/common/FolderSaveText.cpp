#include "tests/common/FolderSaveText.h"

namespace lmvtest {

std::string FolderSectionsFirstSaveText()
{
    return "[Folders]\r\n"
           "IncludeSubfolders=1\r\n"
           "FileNames=\"*\"\r\n"
           "SkipNames=\".*\"\r\n"
           "SkipNonText=1\r\n"
           "\r\n"
           "[Results]\r\n"
           "KeepModificationTime=0\r\n"
           "\r\n";
}

} // namespace lmvtest
