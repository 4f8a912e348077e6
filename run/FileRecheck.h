#pragma once

#include "run/FileOutcome.h"
#include "settings/ConvertOptions.h"
#include "settings/ConvertSpecs.h"

#include <functional>
#include <string>

class TLumiva;

// One file checked again, read with Encoding, against the target of Options and Specs: what a
// check run would log for it, as an outcome. Converter is borrowed for the time of the call. Stop
// (may be empty) is asked after every read; when it says so the check ends as failed.
TFileOutcome RecheckFile(TLumiva& Converter, const std::string& Source, const std::string& Encoding,
                         const TConvertOptions& Options, const TConvertSpecs& Specs,
                         const std::function<bool()>& Stop = {});
