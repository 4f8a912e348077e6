#pragma once

#include "settings/ConvertOptions.h"
#include "settings/ConvertSpecs.h"

#include <functional>
#include <string>

// The rules option values must meet before a run, shared by the main window and the command
// line. Each check returns the message to show, or an empty text when the value passes.

inline constexpr const char* SelectAnItemMessage = "Select an item";
inline constexpr const char* SelectAnItemInTheListMessage = "Select an item in the list";

// The buffer size as typed: a number greater than 0.
std::string CheckBufferSize(const std::string& Text);
// The output directory: some text, and an absolute path.
std::string CheckOutputDirectory(const std::string& Text);
// An output or backup prefix: some text, and no character a file name may not hold.
std::string CheckPrefix(const std::string& Text);

// Options as loaded from the settings file, with every value the program cannot use replaced by
// Fallback's: an encoding that IsEncoding does not know (From may also be "Auto-detect"), a
// translation or output mode out of range, and a buffer size, output directory or prefix that
// the checks above refuse.
TConvertOptions UsableOptions(const TConvertOptions& Loaded, const TConvertOptions& Fallback,
                              const std::function<bool(const std::string& Name)>& IsEncoding);
// The same for the signature choices: 0 to 2 for UTF-8; 0, 1, 3 or 4 for UTF-16 and UTF-32.
TConvertSpecs UsableSpecs(const TConvertSpecs& Loaded, const TConvertSpecs& Fallback);
