#include "run/FileConverter.h"
