#pragma once

#include "settings/AssistOptions.h"
#include "settings/ConvertOptions.h"
#include "settings/ConvertSpecs.h"
#include "settings/QuoteIniFile.h"
#include "settings/ViewOptions.h"

#include <string>

class TOpenDialogList;

// The program's settings file: its sections and keys, read into and written from the option
// records. Lives for one load or one save. Every read takes the caller's current values as the
// defaults for missing or malformed keys; nothing is range-checked here.
class TSettings : public TQuoteIniFile {
public:
    using TQuoteIniFile::TQuoteIniFile;

    // The shared folder, then the filter index of each dialog in list order.
    void ReadOpenDialogList(TOpenDialogList& List) const;
    void WriteOpenDialogList(const TOpenDialogList& List);

    TConvertOptions ReadConvertOptions(const TConvertOptions& Current) const;
    void WriteConvertOptions(const TConvertOptions& Options);

    TConvertSpecs ReadConvertSpecs(const TConvertSpecs& Current) const;
    void WriteConvertSpecs(const TConvertSpecs& Specs);

    TAssistOptions ReadAssistOptions(const TAssistOptions& Current) const;
    void WriteAssistOptions(const TAssistOptions& Options);

    TViewOptions ReadViewOptions(const TViewOptions& Current) const;
    void WriteViewOptions(const TViewOptions& Options);

    // The window's stored left and top edge; Left and Top hold the current ones on entry.
    // The caller decides whether to apply them (only when the view's LastPosition flag is set).
    void ReadLastPosition(int& Left, int& Top) const;
    void WriteLastPosition(int Left, int Top);
};
