#include "main/application.h"

#include <QApplication>
#include <QIcon>
#include <cstring>

#include "main/vexlo.h"

namespace vexlo {

const char* const helpText = R"(Usage: vexlo [--variant NAME] [FILE]

Opens the Vexlo window, which writes bills of materials.
Without FILE it works on the design open in the running schematic tool, found on the D-Bus
session bus. With FILE it plays the tool itself, with no tool and no bus, over a KiCad project
(.kicad_pro) or root sheet (.kicad_sch) of KiCad 6.0 to 10.0, KiCad's XML netlist (.xml) or a
JSON design file: every action reads the file again, so a design saved in KiCad is what the next
report uses, and the window says when the file or one of its sheets changed on disk.

Options:
  --variant NAME  with FILE: apply the KiCad variant NAME (its do-not-populate and
                  exclude-from-BOM marks and its field values)
  --help          this text
  --version       print the program's name and version

The options every Qt program takes (such as -platform NAME or -style NAME) are taken too.

Exit status:
  0  the window was closed, or no schematic tool was running (after saying so)
  2  usage error, or a FILE that cannot be read as a design (after saying why)
)";

bool helpAsked(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            return true;
        }
    }
    return false;
}

StartOptions parseStartArguments(const std::vector<std::string>& arguments) {
    StartOptions start;
    bool variantGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--variant") {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                throw Error(errc::BadCommandLine, "option --variant needs a variant name");
            }
            start.variant = arguments[++i];
            variantGiven = true;
        } else if (argument.starts_with("-") && argument != "-") {
            throw Error(errc::BadCommandLine, "unknown option \"" + argument + "\"");
        } else if (!start.design.empty() || argument.empty()) {
            throw Error(errc::BadCommandLine,
                        argument.empty()
                            ? "an empty design file name"
                            : "one design file at a time, not also \"" + argument + "\"");
        } else {
            start.design = argument;
        }
    }
    if (variantGiven && start.design.empty()) {
        throw Error(errc::BadCommandLine, "option --variant needs a design FILE");
    }
    return start;
}

int runApplication(design::ToolConnector connector, const StartOptions& start) {
    QApplication::setApplicationName(QStringLiteral("Vexlo"));
    // The menu entry's name and icon: the desktop matches the window to its entry by this name.
    QApplication::setDesktopFileName(QStringLiteral("org.vexlo.Vexlo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/org.vexlo.Vexlo.svg")));
    Vexlo window(std::move(connector));
    if (start.design.empty() ? !window.Form_Load()
                             : !window.openDesign(start.design, start.variant)) {
        return start.design.empty() ? 0 : exitUsage;
    }
    window.show();
    return QApplication::exec();
}

}  // namespace vexlo
