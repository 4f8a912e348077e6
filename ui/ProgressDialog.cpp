#include "ui/ProgressDialog.h"
