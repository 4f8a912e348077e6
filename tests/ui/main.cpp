#include <QApplication>
#define LUMIVA_TEST_APPLICATION QApplication
#include "tests/common/QtTestMain.h"
