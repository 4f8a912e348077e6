#include "settings/OptionRules.h"

#include "util/IntegerText.h"
#include "util/Mysysutils.h"

std::string CheckBufferSize(const std::string& Text)
{
    std::int32_t value = 0;
    if (!TryStrToInt(Text, value) || value <= 0)
        return "Set a number greater than 0";
    return {};
}

std::string CheckOutputDirectory(const std::string& Text)
{
    if (Text.empty())
        return "Set text";
    if (!HasDrive(Text))
        return "Set an absolute path";
    return {};
}

std::string CheckPrefix(const std::string& Text)
{
    if (Text.empty())
        return "Set text";
    if (InvalidFileNameCharPos(Text) > 0)
        return "Delete invalid file characters";
    return {};
}
