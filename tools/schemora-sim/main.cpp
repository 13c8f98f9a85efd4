// schemora-sim: plays the running schematic tool on the session bus for Vexlo.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDir>
#include <QSocketNotifier>
#include <QStringList>
#include <cstdio>
#include <optional>

#include "common/textfile.h"
#include "common/version.h"
#include "dbus/toolbus.h"
#include "designfile.h"
#include "toolservice.h"

namespace {

constexpr int exitBusRefused = 1;
constexpr int exitBadInput = 2;

const char* const usage =
    "Usage: schemora-sim [--root DIR] [--variant NAME] [DESIGN]\n"
    "       schemora-sim --help | --version\n"
    "\n"
    "Plays the schematic tool Quillion.Application on the D-Bus session bus until SIGINT or\n"
    "SIGTERM. It serves DESIGN, or without one a built-in sample board whose project folder\n"
    "sample-board/ it creates under DIR (default: the current folder). DESIGN is a KiCad\n"
    "project (.kicad_pro) or root sheet (.kicad_sch) of KiCad 6.0 to 10.0, KiCad's XML\n"
    "netlist, or a JSON design file. --variant applies a KiCad variant's marks and values.\n"
    "\n"
    "Exit status: 0 when stopped, 1 when there is no session bus or the name is already owned,\n"
    "2 for a bad command line or a design file that cannot be read or used.\n";

struct Options {
    QString root = QStringLiteral(".");
    bool rootGiven = false;
    std::optional<QString> designFile;
    std::optional<QString> variant;
    bool help = false;
};

void complain(const QString& message) {
    std::fprintf(stderr, "schemora-sim: %s\n", message.toLocal8Bit().constData());
}

// The options, or nothing after a complaint about them.
std::optional<Options> parseArguments(const QStringList& arguments) {
    Options options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.help = true;
        } else if (argument == QLatin1String("--root") || argument == QLatin1String("--variant")) {
            if (i + 1 == arguments.size()) {
                complain(QStringLiteral("option %1 needs a value").arg(argument));
                return std::nullopt;
            }
            if (argument == QLatin1String("--root")) {
                options.root = arguments.at(++i);
                options.rootGiven = true;
            } else {
                options.variant = arguments.at(++i);
            }
        } else if (argument.startsWith(QLatin1Char('-')) && argument != QLatin1String("-")) {
            complain(QStringLiteral("unknown option \"%1\" (see --help)").arg(argument));
            return std::nullopt;
        } else if (options.designFile) {
            complain(QStringLiteral("more than one design file given (see --help)"));
            return std::nullopt;
        } else {
            options.designFile = argument;
        }
    }
    if (options.designFile && options.rootGiven) {
        complain(QStringLiteral("--root applies to the built-in sample board only"));
        return std::nullopt;
    }
    if (options.variant && !options.designFile) {
        complain(QStringLiteral("--variant needs a design file"));
        return std::nullopt;
    }
    return options;
}

// SIGINT and SIGTERM reach the event loop through a pipe: the handler itself only writes a byte.
int signalPipe[2] = {-1, -1};

void onStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
}

bool installStopHandlers() {
    if (::pipe2(signalPipe, O_CLOEXEC) != 0) {
        return false;
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::signal(SIGPIPE, SIG_IGN);
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0;
}

// True when a stop signal came while the design was loading: then the name is never taken.
bool stopRequested() {
    pollfd pending{signalPipe[0], POLLIN, 0};
    return ::poll(&pending, 1, 0) > 0;
}

QString readyLine(const vexlo::sim::Design& design) {
    const QString served =
        design.document
            ? QStringLiteral("\"%1\"").arg(QString::fromStdString(design.document->name))
            : QStringLiteral("no document");
    const QString read = QString::fromStdString(design.summary);
    return QStringLiteral("schemora-sim: ready: %1 serving %2 (project %3, %4 components; %5)")
        .arg(QLatin1String(vexlo::dbus::serviceName), served,
             QString::fromStdString(design.project))
        .arg(design.componentCount)
        .arg(read);
}

// Takes the bus name and answers calls until a stop signal: the exit status.
int serve(vexlo::sim::Design design, QCoreApplication& application) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        complain(QStringLiteral("no D-Bus session bus: %1").arg(bus.lastError().message()));
        return exitBusRefused;
    }
    const QString serviceName = QLatin1String(vexlo::dbus::serviceName);
    const QString objectPath = QLatin1String(vexlo::dbus::objectPath);
    const QString line = readyLine(design);
    vexlo::sim::ToolService service(std::move(design));
    if (!bus.registerObject(objectPath, &service, QDBusConnection::ExportAllSlots)) {
        complain(
            QStringLiteral("cannot export the tool object: %1").arg(bus.lastError().message()));
        return exitBusRefused;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> owned =
        bus.interface()->registerService(serviceName, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!owned.isValid() || owned.value() != QDBusConnectionInterface::ServiceRegistered) {
        complain(
            owned.isValid()
                ? QStringLiteral("%1 is already owned on the session bus: another schematic "
                                 "tool is running")
                      .arg(serviceName)
                : QStringLiteral("cannot own %1: %2").arg(serviceName, owned.error().message()));
        return exitBusRefused;
    }

    QSocketNotifier stopNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &application,
                     &QCoreApplication::quit);
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);

    const int status = QCoreApplication::exec();
    bus.interface()->unregisterService(serviceName);
    bus.unregisterObject(objectPath);
    return status;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (vexlo::printVersionIfAsked("schemora-sim", argc, argv)) {
        return 0;
    }
    // A design larger than the file-size limit then fails to reach its memory file with an error
    // reply, instead of ending the tool.
    vexlo::ignoreFileSizeSignal();
    QCoreApplication application(argc, argv);
    const std::optional<Options> options = parseArguments(QCoreApplication::arguments());
    if (!options) {
        return exitBadInput;
    }
    if (options->help) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (!installStopHandlers()) {
        complain(QStringLiteral("cannot watch for stop signals"));
        return exitBadInput;
    }

    std::optional<vexlo::sim::Design> design;
    try {
        design = options->designFile
                     ? vexlo::sim::loadDesignFile(
                           *options->designFile, options->variant.value_or(QString()).toStdString())
                     : vexlo::sim::loadSampleBoard(options->root);
    } catch (const vexlo::Error& error) {
        complain(QString::fromStdString(error.what()));
        return exitBadInput;
    }

    return stopRequested() ? 0 : serve(std::move(*design), application);
}
