#include "settings/ConvertOptions.h"

#include "util/Mysysutils.h"

std::string DefaultOutputDirectory()
{
    std::string path = GetSpecialFolderPath(CSIDL_DESKTOP);
    if (path.empty() || path.back() != '/')
        path += '/';
    return path + "LMV Output";
}

TConvertOptions DefaultConvertOptions()
{
    TConvertOptions options;
    options.FromEncoding = "UTF-8";
    options.ToEncoding = "UTF-16";
    options.Translation = trNone;
    options.BufferSize = 65536;
    options.Output = omDirectory;
    options.OutputDirectory = DefaultOutputDirectory();
    options.OutputPrefix = "Output - ";
    options.BackupSrcFiles = true;
    options.BackupPrefix = "Backup - ";
    return options;
}
