#include "dbus/toolclient.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QString>
#include <QVariant>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/error.h"
#include "common/textfile.h"
#include "dbus/flatstream.h"
#include "dbus/toolbus.h"

namespace vexlo::dbus {

int callTimeoutMs() {
    const char* seconds = std::getenv("VEXLO_TOOL_TIMEOUT");
    const long value = seconds != nullptr ? std::strtol(seconds, nullptr, 10) : 0;
    return value > 0 && value <= 3600 ? static_cast<int>(value) * 1000 : 120000;
}

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
    if (type == QDBusError::NoReply || type == QDBusError::Timeout ||
        type == QDBusError::TimedOut) {
        if (!nameHasOwner(bus)) {
            throwNotRunning(std::string("it closed before answering ") + member);
        }
        throw Error(errc::ToolCallFailed, std::string("The schematic tool did not answer ") +
                                              member + " within " +
                                              std::to_string(callTimeoutMs() / 1000) + " seconds");
    }
    throw Error(errc::ToolCallFailed, message);
}

[[noreturn]] void throwUnreadable() {
    throw Error(errc::ToolCallFailed,
                std::string("The flattened design cannot be read: ") + std::strerror(errno));
}

// The flattened design's memory file, mapped read-only. The design read from it views its
// texts where they lie, so the mapping lives as long as the design.
class MappedStream final {
public:
    explicit MappedStream(int fd) {
        struct stat status {};
        if (::fstat(fd, &status) != 0) {
            throwUnreadable();
        }
        if (!S_ISREG(status.st_mode)) {
            throw Error(errc::ToolCallFailed,
                        std::string("The schematic tool sent its flattened design as ") +
                            fileKindName(status.st_mode) + ", not as a file");
        }
        // A file the tool could still shrink would end the program with SIGBUS as its mapped
        // pages vanish: only a memory file sealed against shrinking and writing is read.
        const int seals = ::fcntl(fd, F_GET_SEALS);
        constexpr int needed = F_SEAL_SHRINK | F_SEAL_WRITE;
        if (seals < 0 || (seals & needed) != needed) {
            throw Error(errc::ToolCallFailed,
                        "The schematic tool sent its flattened design in a file it can still "
                        "change (not a memory file sealed against shrinking and writing)");
        }
        // The header is checked before anything is mapped: a file that claims more components or
        // bytes than the limits allow, or more bytes than it holds, costs nothing. The stream is
        // then mapped page by page as it is read, so that one that is refused further on (a value
        // too long) was never read in whole.
        checkStreamHeader(header(fd), static_cast<std::uint64_t>(status.st_size));
        size_ = static_cast<std::size_t>(status.st_size);
        if (size_ > 0) {
            void* mapped = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
            if (mapped == MAP_FAILED) {
                throwUnreadable();
            }
            data_ = static_cast<char*>(mapped);
        }
    }
    ~MappedStream() {
        if (data_ != nullptr) {
            ::munmap(data_, size_);
        }
    }
    MappedStream(const MappedStream&) = delete;
    MappedStream& operator=(const MappedStream&) = delete;

    std::string_view bytes() const noexcept { return {data_, size_}; }

private:
    // The first bytes of the file, as many as a header takes or the file holds.
    static std::string header(int fd) {
        std::string bytes(flatStreamHeaderSize, '\0');
        ssize_t got = 0;
        do {
            got = ::pread(fd, bytes.data(), bytes.size(), 0);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            throwUnreadable();
        }
        bytes.resize(static_cast<std::size_t>(got));
        return bytes;
    }

    char* data_ = nullptr;
    std::size_t size_ = 0;
};

class ToolClient final : public design::SchematicTool {
public:
    explicit ToolClient(QDBusConnection bus) : bus_(std::move(bus)) {}

    void waitWith(design::CallWait* wait) override { wait_ = wait; }

    std::string CurrentProject() override { return callForText("CurrentProject"); }
    std::string ActiveViewDocumentName() override { return callForText("ActiveViewDocumentName"); }
    std::string ActiveDocumentPath() override { return callForText("ActiveDocumentPath"); }

    std::shared_ptr<const design::FlattenedDesign> LoadGroupFlatten(
        const std::string& name) override {
        const QVariant answer = call("LoadGroupFlatten", {QString::fromStdString(name)}, "h");
        const auto descriptor = qvariant_cast<QDBusUnixFileDescriptor>(answer);
        if (!descriptor.isValid()) {
            throw Error(errc::ToolCallFailed,
                        "The schematic tool's flattened design arrived without its file");
        }
        auto stream = std::make_shared<const MappedStream>(descriptor.fileDescriptor());
        const std::string_view bytes = stream->bytes();
        return std::make_shared<const design::FlattenedDesign>(
            readFlatStream(bytes, std::move(stream)));
    }

private:
    std::string callForText(const char* member) { return toStd(call(member, {}, "s").toString()); }

    // One call with auto-start off, waited for through the front end's wait if there is one,
    // else blocking: the one answer of the given D-Bus signature.
    QVariant call(const char* member, const QList<QVariant>& arguments, const char* signature) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
            QString::fromLatin1(interfaceName), QString::fromLatin1(member));
        message.setArguments(arguments);
        message.setAutoStartService(false);
        // Once the user gave a call up, the action's other calls are not waited for either.
        if (!abandoned_.empty()) {
            throwAbandoned();
        }
        QDBusPendingCall pending = bus_.asyncCall(message, callTimeoutMs());
        if (wait_ != nullptr && !pending.isFinished()) {
            // The watcher's finished signal wakes the waiting front end when the answer comes.
            const QDBusPendingCallWatcher watcher(pending);
            if (!wait_->wait([&pending] { return pending.isFinished(); })) {
                abandoned_ = member;
                throwAbandoned();
            }
        }
        pending.waitForFinished();
        const QDBusMessage reply = pending.reply();
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

    [[noreturn]] void throwAbandoned() const {
        throw Error(errc::ToolCallAbandoned, "Gave up waiting for the schematic tool to answer " +
                                                 abandoned_ + "; the action ended there");
    }

    QDBusConnection bus_;
    design::CallWait* wait_ = nullptr;
    std::string abandoned_;  // the call the user gave up, if any
};

}  // namespace

std::unique_ptr<design::SchematicTool> connectToTool() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        throw Error(errc::NoSessionBus,
                    "There is no D-Bus session bus to find the schematic tool on: " +
                        toStd(bus.lastError().message()));
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

}  // namespace vexlo::dbus
