// vexlo-report: the window's reports from the command line, for scripts and build pipelines.
#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "cli/commandline.h"
#include "common/error.h"
#include "common/textfile.h"
#include "common/version.h"
#include "dbus/toolclient.h"

int main(int argc, char* argv[]) {
    if (vexlo::printVersionIfAsked("vexlo-report", argc, argv)) {
        return vexlo::cli::exitSuccess;
    }
    // A report past the file-size limit fails as a full disk does, keeping the old report.
    vexlo::ignoreFileSizeSignal();
    vexlo::removeTemporariesOnStopSignals();
    // A reader of the output that leaves (| head) must not end the run before its reports: the
    // writes fail instead, and the exit status says so.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication application(argc, argv);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    vexlo::cli::Command command;
    try {
        command = vexlo::cli::parseCommandLine(arguments);
    } catch (const vexlo::Error& usage) {
        std::cerr << "vexlo-report: " << usage.message() << "\nTry 'vexlo-report --help'.\n";
        return vexlo::cli::exitUsage;
    }
    const int status =
        vexlo::cli::runCommand(command, &vexlo::dbus::connectToTool, std::cout, std::cerr);
    // Ends here: QtDBus's own thread may still be handing over a late message from the bus, which
    // would meet Qt's types half torn down on a normal exit and complain on stderr.
    std::cout.flush();
    std::fflush(nullptr);
    std::_Exit(status);
}
