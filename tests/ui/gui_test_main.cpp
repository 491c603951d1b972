// Test main for the desktop program: a real QApplication on the offscreen platform, set up by the
// same SetUpApplication as the program's main().
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/ui/ui_test_support.hpp"
#include "ui/platform/application_setup.hpp"

namespace vexo::uitest {
std::string numeric_locale_adopted;
}

namespace {

// The offscreen platform cannot raise windows; that is expected here and not worth a line.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (text.startsWith("This plugin does not support")) return;
    fprintf(stderr, "Qt %d: %s\n", static_cast<int>(type), text.toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(QuietMessages);
    QApplication app(argc, argv);
    vexo::uitest::numeric_locale_adopted = std::setlocale(LC_NUMERIC, nullptr);
    vexo::platform::SetUpApplication();
    return RUN_ALL_TESTS();
}
