#include "util/Version.h"

const char* LumivaVersion() noexcept
{
    return LUMIVA_VERSION;
}
