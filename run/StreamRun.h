#pragma once

#include "settings/ConvertOptions.h"
#include "settings/ConvertSpecs.h"
#include "util/StringList.h"

#include <functional>
#include <string>

class TLumiva;

// A run of lumiva-batch whose results go to one stream instead of files of their own: standard
// input (the name "-") or one file into standard output or into the file -o names, or several
// files one after another into standard output. Each failure is one line for standard error; a
// result for -o is made in a temporary file and put in place only when the conversion succeeded.
class TStreamRun {
public:
    TStreamRun(TLumiva& Engine, TLumiva& Counter, const TConvertOptions& Options, const TConvertSpecs& Specs,
               std::function<void(const std::string& Line)> ReportError);

    // True when every input was converted.
    bool Run(const TStringList& Inputs, int Input, int Output, const std::string& OutputFile);

private:
    void ConvertOne(const std::string& Name, int Input, int Output);
    void ConvertToFile(const std::string& Name, int Input, const std::string& OutputFile);

    TLumiva& Engine;
    TLumiva& Counter;
    TConvertOptions Options;
    std::string TargetEncoding;
    std::string Signature;
    std::function<void(const std::string&)> ReportError;
};
