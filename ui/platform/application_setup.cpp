#include "ui/platform/application_setup.hpp"

#include <QApplication>
#include <clocale>

#include "ui/platform/break_signal.hpp"

namespace vexo::platform {

void SetUpApplication() {
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setStyle("Fusion");
    InstallBreakSignal();
}

}  // namespace vexo::platform
