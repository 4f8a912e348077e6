#include "ui/OptionsDialog.h"
