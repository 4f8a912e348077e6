#include "settings/OptionRules.h"

#include "settings/AutoDetect.h"

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

namespace {

template <class TValue, class TUsable>
void KeepUsable(TValue& Value, const TValue& Fallback, TUsable Usable)
{
    if (!Usable(Value))
        Value = Fallback;
}

bool InRange(std::int32_t Value, std::int32_t Low, std::int32_t High)
{
    return Value >= Low && Value <= High;
}

bool IsWideSpec(std::int32_t Value)
{
    return Value == usDefault || Value == usWithoutBom || Value == usLeWithBom || Value == usBeWithBom;
}

} // namespace

TConvertOptions UsableOptions(const TConvertOptions& Loaded, const TConvertOptions& Fallback,
                              const std::function<bool(const std::string&)>& IsEncoding)
{
    TConvertOptions options = Loaded;
    KeepUsable(options.FromEncoding, Fallback.FromEncoding,
               [&](const std::string& Name) { return IsAutoDetect(Name) || IsEncoding(Name); });
    KeepUsable(options.ToEncoding, Fallback.ToEncoding, IsEncoding);
    KeepUsable(options.Translation, Fallback.Translation, [](std::int32_t v) { return InRange(v, trNone, trTransliterate); });
    KeepUsable(options.BufferSize, Fallback.BufferSize, [](std::int32_t v) { return v > 0; });
    KeepUsable(options.Output, Fallback.Output, [](std::int32_t v) { return InRange(v, omDirectory, omOverwrite); });
    KeepUsable(options.OutputDirectory, Fallback.OutputDirectory,
               [](const std::string& Text) { return CheckOutputDirectory(Text).empty(); });
    const auto prefix = [](const std::string& Text) { return CheckPrefix(Text).empty(); };
    KeepUsable(options.OutputPrefix, Fallback.OutputPrefix, prefix);
    KeepUsable(options.BackupPrefix, Fallback.BackupPrefix, prefix);
    return options;
}

TConvertSpecs UsableSpecs(const TConvertSpecs& Loaded, const TConvertSpecs& Fallback)
{
    TConvertSpecs specs = Loaded;
    KeepUsable(specs.Utf8, Fallback.Utf8, [](std::int32_t v) { return InRange(v, usDefault, usWithBom); });
    KeepUsable(specs.Utf16, Fallback.Utf16, IsWideSpec);
    KeepUsable(specs.Utf32, Fallback.Utf32, IsWideSpec);
    return specs;
}
