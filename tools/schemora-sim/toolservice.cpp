#include "toolservice.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "dbus/toolbus.h"
#include "design/toolnames.h"

namespace vexlo::sim {

namespace {

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

// A memory file holding the bytes, sealed so that the reader may trust its size; -1 with errno
// set when the system refuses.
int sealedMemoryFile(const std::string& bytes) {
    const int fd = ::memfd_create("quillion-flattened", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) {
        return -1;
    }
    // The stop signals' handlers restart interrupted calls, so a write fails only for good.
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written <= 0) {
            const int saved = errno;
            ::close(fd);
            errno = saved;
            return -1;
        }
        done += static_cast<std::size_t>(written);
    }
    if (::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

}  // namespace

ToolService::ToolService(Design design, QObject* parent)
    : QObject(parent), design_(std::move(design)) {}

bool ToolService::hasDocument(const char* what) {
    if (design_.document) {
        return true;
    }
    sendErrorReply(QLatin1String(dbus::errorNoActiveDocument),
                   QStringLiteral("The schematic tool has no active %1").arg(QLatin1String(what)));
    return false;
}

QString ToolService::CurrentProject() {
    return fromStd(design_.project);
}

QString ToolService::ActiveViewDocumentName() {
    return hasDocument("view") ? fromStd(design_.document->name) : QString();
}

QString ToolService::ActiveDocumentPath() {
    return hasDocument("document") ? fromStd(design_.document->path) : QString();
}

QDBusUnixFileDescriptor ToolService::LoadGroupFlatten(const QString& designName) {
    if (!hasDocument("view")) {
        return {};
    }
    // The design name is the document name less its last two characters, not bytes.
    const auto name = design::designNameOf(design_.document->name);
    if (!name || designName.toStdString() != *name) {
        sendErrorReply(QLatin1String(dbus::errorLoadGroupFailed),
                       QStringLiteral("LoadGroup: no design named \"%1\"").arg(designName));
        return {};
    }
    const int fd = sealedMemoryFile(design_.flatStream);
    if (fd < 0) {
        sendErrorReply(QLatin1String(dbus::errorFlattenFailed),
                       QStringLiteral("Flatten: the design cannot be handed over: %1")
                           .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return {};
    }
    QDBusUnixFileDescriptor descriptor(fd);  // keeps its own duplicate
    ::close(fd);
    return descriptor;
}

}  // namespace vexlo::sim
