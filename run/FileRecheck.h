#pragma once

#include "run/FileOutcome.h"
#include "settings/ConvertOptions.h"
#include "settings/ConvertSpecs.h"

#include <string>

class TLumiva;

// One file checked again, read with Encoding, against the target of Options and Specs: what a
// check run would log for it, as an outcome. Engine is borrowed for the time of the call.
TFileOutcome RecheckFile(TLumiva& Engine, const std::string& Source, const std::string& Encoding,
                         const TConvertOptions& Options, const TConvertSpecs& Specs);
