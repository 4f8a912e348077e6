#include <QCoreApplication>
#define LUMIVA_TEST_APPLICATION QCoreApplication
#include "tests/common/QtTestMain.h"
