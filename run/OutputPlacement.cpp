#include "run/OutputPlacement.h"
