#include "settings/OpenDialogList.h"
