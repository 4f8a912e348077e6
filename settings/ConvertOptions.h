#pragma once

#include <cstdint>
#include <string>

enum TTranslation : std::int32_t { trNone = 0, trIgnore = 1, trTransliterate = 2 };
enum TOutputMode : std::int32_t { omDirectory = 0, omPrefix = 1, omOverwrite = 2 };

// What to convert from and to, how, and where the results go. Checks nothing: values are
// validated where they are edited and where they are used.
struct TConvertOptions {
    std::string FromEncoding;
    std::string ToEncoding;
    std::int32_t Translation = 0;
    std::int32_t BufferSize = 0;
    std::int32_t Output = 0;
    std::string OutputDirectory;
    std::string OutputPrefix;
    bool BackupSrcFiles = false;
    std::string BackupPrefix;

    bool operator==(const TConvertOptions&) const = default;
};

// The desktop folder + "/LMV Output"; "/LMV Output" when the desktop is unknown.
std::string DefaultOutputDirectory();
TConvertOptions DefaultConvertOptions();
