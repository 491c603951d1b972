#include <QApplication>
#include <clocale>

#include "ui/platform/break_signal.hpp"
#include "ui/vexo.hpp"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Qt adopts the system locale; numbers are read and written in the "C" form everywhere.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setStyle("Fusion");
    vexo::platform::InstallBreakSignal();
    return vexo::ui::VexoMain();
}
