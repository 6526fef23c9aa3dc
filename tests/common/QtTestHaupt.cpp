#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include <QApplication>

#include "common/Testlauf.h"

int main(int argc, char** argv) {
    // Tests never open a window on a desktop.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return testlauf::AlleTestsLaufen();
}
