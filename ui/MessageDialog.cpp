#include "ui/MessageDialog.h"
