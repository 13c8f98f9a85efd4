// vexlo: the main window, attached to the running schematic tool.
#include <QApplication>
#include <QIcon>

#include "common/textfile.h"
#include "common/version.h"
#include "dbus/toolclient.h"
#include "main/vexlo.h"

int main(int argc, char* argv[]) {
    if (vexlo::printVersionIfAsked("vexlo", argc, argv)) {
        return 0;
    }
    // A report past the file-size limit fails as a full disk does, keeping the old report.
    vexlo::ignoreFileSizeSignal();
    vexlo::removeTemporariesOnStopSignals();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexlo"));
    // The menu entry's name and icon: the desktop matches the window to its entry by this name.
    QApplication::setDesktopFileName(QStringLiteral("org.vexlo.Vexlo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/org.vexlo.Vexlo.svg")));
    vexlo::Vexlo window(&vexlo::design::dbus::connectToTool);
    if (!window.Form_Load()) {
        return 0;
    }
    window.show();
    return QApplication::exec();
}
