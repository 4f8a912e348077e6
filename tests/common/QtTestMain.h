#pragma once

// main() for test folders that need a running Qt application: include this from the folder's
// main.cpp, with LUMIVA_TEST_APPLICATION set to QCoreApplication or QApplication.
#include <gtest/gtest.h>

#include <QByteArray>
#include <clocale>

#ifndef LUMIVA_TEST_APPLICATION
#error "define LUMIVA_TEST_APPLICATION before including QtTestMain.h"
#endif

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    std::setlocale(LC_ALL, "");
    ::testing::InitGoogleTest(&argc, argv);
    LUMIVA_TEST_APPLICATION app(argc, argv);
    return RUN_ALL_TESTS();
}
