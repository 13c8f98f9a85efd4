// vexlo: the main window, attached to the running schematic tool.
#include <QApplication>

#include "common/version.h"
#include "design/dbus/toolclient.h"
#include "main/vexlo.h"

int main(int argc, char* argv[]) {
    if (vexlo::printVersionIfAsked("vexlo", argc, argv)) {
        return 0;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexlo"));
    vexlo::Vexlo window(&vexlo::design::dbus::connectToTool);
    if (!window.Form_Load()) {
        return 0;
    }
    window.show();
    return QApplication::exec();
}
