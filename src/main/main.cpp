// vexlo: the main window, on a design file or attached to the running schematic tool.
#include <QApplication>
#include <iostream>

#include "common/textfile.h"
#include "common/version.h"
#include "dbus/toolclient.h"
#include "main/application.h"

int main(int argc, char* argv[]) {
    if (vexlo::printVersionIfAsked("vexlo", argc, argv)) {
        return 0;
    }
    if (vexlo::helpAsked(argc, argv)) {
        std::cout << vexlo::helpText;
        return 0;
    }
    // A report past the file-size limit fails as a full disk does, keeping the old report.
    vexlo::ignoreFileSizeSignal();
    vexlo::removeTemporariesOnStopSignals();
    // Takes Qt's own options out of the arguments.
    QApplication application(argc, argv);
    vexlo::StartOptions start;
    try {
        start = vexlo::parseStartArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const vexlo::Error& usage) {
        std::cerr << "vexlo: " << usage.message() << "\nTry 'vexlo --help'.\n";
        return vexlo::exitUsage;
    }
    return vexlo::runApplication(&vexlo::dbus::connectToTool, start);
}
