#include "run/ConvertThread.h"
