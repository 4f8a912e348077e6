#pragma once

#include "util/Exception.h"

// Failure of one file: logged, and the run goes on with the next file.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};
