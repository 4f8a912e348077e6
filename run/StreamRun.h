#pragma once

#include "run/FileOutcome.h"
#include "settings/ConvertOptions.h"
#include "settings/ConvertSpecs.h"
#include "util/StringList.h"

#include <functional>
#include <memory>
#include <string>

class TEncodingDetector;
class TLumiva;

// A run of lumiva-batch whose results go to one stream instead of files of their own: standard
// input (the name "-") or one file into standard output or into the file -o names, or several
// files one after another into standard output. Each failure is one line for standard error; a
// result for -o is made in a temporary file and put in place only when the conversion succeeded.
// With "Auto-detect" each input's encoding is told from its first bytes, which a pipe gives once:
// they are kept and converted before the rest, so memory stays fixed.
class TStreamRun {
public:
    TStreamRun(TLumiva& Converter, TLumiva& Counter, const TConvertOptions& Options, const TConvertSpecs& Specs,
               std::function<void(const std::string& Line)> ReportError);
    ~TStreamRun();
    TStreamRun(const TStreamRun&) = delete;
    TStreamRun& operator=(const TStreamRun&) = delete;

    // Set before Run: every input is read through the conversion and nothing is written.
    bool CheckOnly = false;
    // After every input, when set: what became of it ("-" for standard input and output).
    std::function<void(const TFileOutcome& Outcome)> OnFileDone;

    // True when every input was converted.
    bool Run(const TStringList& Inputs, int Input, int Output, const std::string& OutputFile);

private:
    void ConvertOne(const std::string& Name, int Input, int Output, TFileOutcome& Outcome);
    void ConvertToFile(const std::string& Name, int Input, const std::string& OutputFile, TFileOutcome& Outcome);
    std::string Detect(int Source, std::string& Head, TFileOutcome& Outcome);

    TLumiva& Converter;
    TLumiva& Counter;
    TConvertOptions Options;
    std::string TargetEncoding;
    std::string Signature;
    std::function<void(const std::string&)> ReportError;
    std::unique_ptr<TEncodingDetector> Detector;
};
