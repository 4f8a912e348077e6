#include <gtest/gtest.h>

#include <clocale>

// The run reads the character type of the locale, as the programs do once started.
int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
