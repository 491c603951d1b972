// Test main for the pictures: a QGuiApplication on the offscreen platform, for the fonts, and the
// numeric locale back to "C" after it, as vexo-cli does.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <clocale>
#include <cstdlib>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    return RUN_ALL_TESTS();
}
