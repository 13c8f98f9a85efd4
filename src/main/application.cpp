#include "main/application.h"

#include <QApplication>
#include <QIcon>

#include "main/vexlo.h"

namespace vexlo {

int runApplication(design::ToolConnector connector) {
    QApplication::setApplicationName(QStringLiteral("Vexlo"));
    // The menu entry's name and icon: the desktop matches the window to its entry by this name.
    QApplication::setDesktopFileName(QStringLiteral("org.vexlo.Vexlo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/org.vexlo.Vexlo.svg")));
    Vexlo window(std::move(connector));
    if (!window.Form_Load()) {
        return 0;
    }
    window.show();
    return QApplication::exec();
}

}  // namespace vexlo
