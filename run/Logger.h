#pragma once

#include "util/StringList.h"

#include <cstdint>
#include <string>

// The log of one run: lines in order, error and warning lines prefixed and counted. Control
// characters in a line after its leading tabs are shown as \n, \r, \t or \xHH.
class TLogger {
public:
    TStringList Lines;
    std::string ErrorPrefix;
    std::int32_t ErrorCount = 0;
    std::string WarningPrefix;
    std::int32_t WarningCount = 0;

    // By value: the line made for it (most are) is moved into the log, not copied.
    void Add(std::string Text);
    void AddError(const std::string& Text);
    void AddWarning(const std::string& Text);
};
