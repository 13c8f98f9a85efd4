#include "design/dbus/toolclient.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QString>
#include <QVariant>
#include <cerrno>
#include <cstring>

#include "common/error.h"
#include "design/dbus/flatstream.h"
#include "design/dbus/toolbus.h"

namespace vexlo::design::dbus {

namespace {

std::string toStd(const QString& text) {
    return text.toUtf8().toStdString();
}

bool nameHasOwner(QDBusConnection& bus) {
    QDBusConnectionInterface* busInterface = bus.interface();
    if (busInterface == nullptr) {
        return false;
    }
    const QDBusReply<bool> registered =
        busInterface->isServiceRegistered(QString::fromLatin1(serviceName));
    return registered.isValid() && registered.value();
}

[[noreturn]] void throwNotRunning(const std::string& why) {
    throw Error(errc::ToolNotRunning, "The schematic tool is not running (" + why + ")");
}

// The Error that stands for a failed call. A call that got no answer is the tool closing when
// its name is gone, and a slow tool otherwise.
[[noreturn]] void throwCallError(QDBusConnection& bus, const char* member,
                                 const QDBusMessage& reply) {
    const QString name = reply.errorName();
    const std::string message = toStd(reply.errorMessage());
    if (name == QLatin1String(errorNoActiveDocument)) {
        throw Error(errc::NoActiveDocument, message);
    }
    const QDBusError::ErrorType type = QDBusError(reply).type();
    if (type == QDBusError::ServiceUnknown || type == QDBusError::Disconnected ||
        name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
        throwNotRunning(std::string("it closed before answering ") + member);
    }
    if ((type == QDBusError::NoReply || type == QDBusError::Timeout ||
         type == QDBusError::TimedOut) &&
        !nameHasOwner(bus)) {
        throwNotRunning(std::string("it closed before answering ") + member);
    }
    throw Error(errc::ToolCallFailed, message);
}

std::string readWholeFile(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        throw Error(errc::ToolCallFailed,
                    std::string("The flattened design cannot be read: ") + std::strerror(errno));
    }
    std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got =
            ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw Error(errc::ToolCallFailed, std::string("The flattened design cannot be read: ") +
                                                  std::strerror(errno));
        }
        if (got == 0) {
            bytes.resize(done);  // the stream's own size check reports the shortfall
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return bytes;
}

class ToolClient final : public SchematicTool {
public:
    explicit ToolClient(QDBusConnection bus) : bus_(std::move(bus)) {}

    std::string CurrentProject() override { return callForText("CurrentProject"); }
    std::string ActiveViewDocumentName() override { return callForText("ActiveViewDocumentName"); }
    std::string ActiveDocumentPath() override { return callForText("ActiveDocumentPath"); }

    std::shared_ptr<const FlattenedDesign> LoadGroupFlatten(const std::string& name) override {
        const QVariant answer = call("LoadGroupFlatten", {QString::fromStdString(name)}, "h");
        const auto descriptor = qvariant_cast<QDBusUnixFileDescriptor>(answer);
        if (!descriptor.isValid()) {
            throw Error(errc::ToolCallFailed,
                        "The schematic tool's flattened design arrived without its file");
        }
        return std::make_shared<const FlattenedDesign>(
            readFlatStream(readWholeFile(descriptor.fileDescriptor())));
    }

private:
    std::string callForText(const char* member) { return toStd(call(member, {}, "s").toString()); }

    // One blocking call with auto-start off: the one answer of the given D-Bus signature.
    QVariant call(const char* member, const QList<QVariant>& arguments, const char* signature) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
            QString::fromLatin1(interfaceName), QString::fromLatin1(member));
        message.setArguments(arguments);
        message.setAutoStartService(false);
        const QDBusMessage reply = bus_.call(message, QDBus::Block, callTimeoutMs);
        if (reply.type() == QDBusMessage::ErrorMessage) {
            throwCallError(bus_, member, reply);
        }
        if (reply.type() != QDBusMessage::ReplyMessage ||
            reply.signature() != QLatin1String(signature) || reply.arguments().size() != 1) {
            throw Error(errc::ToolCallFailed, std::string("The schematic tool answered ") + member +
                                                  " with \"" + toStd(reply.signature()) +
                                                  "\" instead of \"" + signature + "\"");
        }
        return reply.arguments().constFirst();
    }

    QDBusConnection bus_;
};

}  // namespace

bool toolIsRunning() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && nameHasOwner(bus);
}

std::unique_ptr<SchematicTool> connectToTool() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        throwNotRunning("there is no D-Bus session bus: " + toStd(bus.lastError().message()));
    }
    if (!nameHasOwner(bus)) {
        throwNotRunning(std::string("nothing owns ") + serviceName + " on the session bus");
    }
    if (!(bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing)) {
        throw Error(errc::ToolCallFailed,
                    "The session bus cannot pass file descriptors, which the schematic tool "
                    "needs to send a design");
    }
    return std::make_unique<ToolClient>(std::move(bus));
}

}  // namespace vexlo::design::dbus
