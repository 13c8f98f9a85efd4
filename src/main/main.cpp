// vexlo: the main window, attached to the running schematic tool.
#include <QApplication>

#include "common/textfile.h"
#include "common/version.h"
#include "dbus/toolclient.h"
#include "main/application.h"

int main(int argc, char* argv[]) {
    if (vexlo::printVersionIfAsked("vexlo", argc, argv)) {
        return 0;
    }
    // A report past the file-size limit fails as a full disk does, keeping the old report.
    vexlo::ignoreFileSizeSignal();
    vexlo::removeTemporariesOnStopSignals();
    QApplication application(argc, argv);
    return vexlo::runApplication(&vexlo::design::dbus::connectToTool);
}
