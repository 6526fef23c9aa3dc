#include <gtest/gtest.h>

#include <clocale>

#include "common/Testlauf.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return testlauf::AlleTestsLaufen();
}
