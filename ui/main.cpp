#include <QApplication>

#include "ui/platform/application_setup.hpp"
#include "ui/vexo.hpp"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    vexo::platform::SetUpApplication();
    return vexo::ui::VexoMain();
}
