#include "engine/UnicodeForms.h"
