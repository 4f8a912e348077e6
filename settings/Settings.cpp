#include "settings/Settings.h"

#include "settings/OpenDialogList.h"

namespace {

constexpr const char* OpenDialogListSection = "OpenDialogList";
constexpr const char* ConvertOptionsSection = "ConvertOptions";
constexpr const char* ConvertSpecsSection = "ConvertSpecs";
constexpr const char* AssistOptionsSection = "AssistOptions";
constexpr const char* ViewOptionsSection = "ViewOptions";
constexpr const char* LastPositionSection = "LastPosition";

std::string FilterIndexKey(std::size_t Index)
{
    return "FilterIndex" + std::to_string(Index);
}

} // namespace

void TSettings::ReadOpenDialogList(TOpenDialogList& List) const
{
    List.InitialDir = ReadQuotedString(OpenDialogListSection, "InitialDir", List.InitialDir);
    for (std::size_t i = 0; i < List.Count(); ++i)
        if (TFileDialog* dialog = List[i])
            dialog->FilterIndex = ReadInteger(OpenDialogListSection, FilterIndexKey(i), dialog->FilterIndex);
}

void TSettings::WriteOpenDialogList(const TOpenDialogList& List)
{
    WriteQuotedString(OpenDialogListSection, "InitialDir", List.InitialDir);
    for (std::size_t i = 0; i < List.Count(); ++i)
        if (const TFileDialog* dialog = List[i])
            WriteInteger(OpenDialogListSection, FilterIndexKey(i), dialog->FilterIndex);
}

TConvertOptions TSettings::ReadConvertOptions(const TConvertOptions& Current) const
{
    const char* s = ConvertOptionsSection;
    TConvertOptions options;
    options.FromEncoding = ReadQuotedString(s, "FromEncoding", Current.FromEncoding);
    options.ToEncoding = ReadQuotedString(s, "ToEncoding", Current.ToEncoding);
    options.Translation = ReadInteger(s, "Translation", Current.Translation);
    options.BufferSize = ReadInteger(s, "BufferSize", Current.BufferSize);
    options.Output = ReadInteger(s, "Output", Current.Output);
    options.OutputDirectory = ReadQuotedString(s, "OutputDirectory", Current.OutputDirectory);
    options.OutputPrefix = ReadQuotedString(s, "OutputPrefix", Current.OutputPrefix);
    options.BackupSrcFiles = ReadBool(s, "BackupSrcFiles", Current.BackupSrcFiles);
    options.BackupPrefix = ReadQuotedString(s, "BackupPrefix", Current.BackupPrefix);
    return options;
}

void TSettings::WriteConvertOptions(const TConvertOptions& Options)
{
    const char* s = ConvertOptionsSection;
    WriteQuotedString(s, "FromEncoding", Options.FromEncoding);
    WriteQuotedString(s, "ToEncoding", Options.ToEncoding);
    WriteInteger(s, "Translation", Options.Translation);
    WriteInteger(s, "BufferSize", Options.BufferSize);
    WriteInteger(s, "Output", Options.Output);
    WriteQuotedString(s, "OutputDirectory", Options.OutputDirectory);
    WriteQuotedString(s, "OutputPrefix", Options.OutputPrefix);
    WriteBool(s, "BackupSrcFiles", Options.BackupSrcFiles);
    WriteQuotedString(s, "BackupPrefix", Options.BackupPrefix);
}

TConvertSpecs TSettings::ReadConvertSpecs(const TConvertSpecs& Current) const
{
    TConvertSpecs specs;
    specs.Utf8 = ReadInteger(ConvertSpecsSection, "Utf8", Current.Utf8);
    specs.Utf16 = ReadInteger(ConvertSpecsSection, "Utf16", Current.Utf16);
    specs.Utf32 = ReadInteger(ConvertSpecsSection, "Utf32", Current.Utf32);
    return specs;
}

void TSettings::WriteConvertSpecs(const TConvertSpecs& Specs)
{
    WriteInteger(ConvertSpecsSection, "Utf8", Specs.Utf8);
    WriteInteger(ConvertSpecsSection, "Utf16", Specs.Utf16);
    WriteInteger(ConvertSpecsSection, "Utf32", Specs.Utf32);
}

TAssistOptions TSettings::ReadAssistOptions(const TAssistOptions& Current) const
{
    TAssistOptions options;
    options.AlwaysSaveLog = ReadBool(AssistOptionsSection, "AlwaysSaveLog", Current.AlwaysSaveLog);
    return options;
}

void TSettings::WriteAssistOptions(const TAssistOptions& Options)
{
    WriteBool(AssistOptionsSection, "AlwaysSaveLog", Options.AlwaysSaveLog);
}

TViewOptions TSettings::ReadViewOptions(const TViewOptions& Current) const
{
    TViewOptions options;
    options.ToolBar = ReadBool(ViewOptionsSection, "ToolBar", Current.ToolBar);
    options.StatusBar = ReadBool(ViewOptionsSection, "StatusBar", Current.StatusBar);
    options.LastPosition = ReadBool(ViewOptionsSection, "LastPosition", Current.LastPosition);
    options.Topmost = ReadBool(ViewOptionsSection, "Topmost", Current.Topmost);
    return options;
}

void TSettings::WriteViewOptions(const TViewOptions& Options)
{
    WriteBool(ViewOptionsSection, "ToolBar", Options.ToolBar);
    WriteBool(ViewOptionsSection, "StatusBar", Options.StatusBar);
    WriteBool(ViewOptionsSection, "LastPosition", Options.LastPosition);
    WriteBool(ViewOptionsSection, "Topmost", Options.Topmost);
}

void TSettings::ReadLastPosition(int& Left, int& Top) const
{
    Left = ReadInteger(LastPositionSection, "Left", Left);
    Top = ReadInteger(LastPositionSection, "Top", Top);
}

void TSettings::WriteLastPosition(int Left, int Top)
{
    WriteInteger(LastPositionSection, "Left", Left);
    WriteInteger(LastPositionSection, "Top", Top);
}
