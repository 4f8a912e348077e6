#include "util/ButtonList.h"
