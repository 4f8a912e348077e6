#include "engine/Lumiva.h"
