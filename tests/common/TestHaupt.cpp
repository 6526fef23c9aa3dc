#include <gtest/gtest.h>

#include "common/Testlauf.h"

#include <clocale>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return testlauf::AlleTestsLaufen();
}
