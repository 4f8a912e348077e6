#pragma once

#include "run/ConvertError.h"

#include <string>
#include <utility>

// A file that failed on its content: the message is the run's usual one, Where the line that
// follows it in the log (what stopped the conversion, and where in the file).
class EContentError : public EConvertError {
public:
    EContentError(std::string Message, std::string Where) : EConvertError(std::move(Message)), Where(std::move(Where)) {}

    std::string Where;
};
