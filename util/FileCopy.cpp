#include "util/FileCopy.h"
