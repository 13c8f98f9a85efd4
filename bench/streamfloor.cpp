// The floor of a design's fetch: the flattened design the running schematic tool hands over,
// read once from its memory file with every byte touched, and nothing made of it. Prints the
// best of RUNS (5 unless given) in seconds and the stream's size in bytes, for bench/e2e.sh to
// set its figures against.
#include <sys/mman.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "common/characters.h"
#include "dbus/toolbus.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace bus = vexlo::dbus;

QDBusMessage call(const char* member, const QList<QVariant>& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        QString::fromLatin1(bus::serviceName), QString::fromLatin1(bus::objectPath),
        QString::fromLatin1(bus::interfaceName), QString::fromLatin1(member));
    message.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, 600'000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) {
        throw std::runtime_error(std::string(member) +
                                 " failed: " + reply.errorMessage().toStdString());
    }
    return reply;
}

// Maps the file, reads every byte of it a word at a time and unmaps it: the seconds taken.
double touchEveryByte(int fd, std::size_t size) {
    const auto start = Clock::now();
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped == MAP_FAILED) {
        throw std::runtime_error(std::string("mmap: ") + std::strerror(errno));
    }
    const auto* bytes = static_cast<const unsigned char*>(mapped);
    std::uint64_t sum = 0;
    std::size_t at = 0;
    for (; at + sizeof(std::uint64_t) <= size; at += sizeof(std::uint64_t)) {
        std::uint64_t word;
        std::memcpy(&word, bytes + at, sizeof word);
        sum += word;
    }
    for (; at < size; ++at) {
        sum += bytes[at];
    }
    asm volatile("" : : "r"(sum) : "memory");  // the sum is used, so every read is made
    ::munmap(mapped, size);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    try {
        const std::string document =
            call("ActiveViewDocumentName", {}).arguments().constFirst().toString().toStdString();
        const auto name = vexlo::withoutLastCharacters(document, 2);
        if (!name) {
            throw std::runtime_error("the document name \"" + document + "\" is too short");
        }
        double best = 1e9;
        std::size_t size = 0;
        for (int run = 0; run < runs; ++run) {
            const QDBusMessage reply = call("LoadGroupFlatten", {QString::fromStdString(*name)});
            const auto file =
                qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
            struct stat status {};
            if (!file.isValid() || ::fstat(file.fileDescriptor(), &status) != 0) {
                throw std::runtime_error("the design arrived without a readable file");
            }
            size = static_cast<std::size_t>(status.st_size);
            best = std::min(best, touchEveryByte(file.fileDescriptor(), size));
        }
        std::cout << best << ' ' << size << '\n';
    } catch (const std::exception& failure) {
        std::cerr << "stream-floor: " << failure.what() << '\n';
        return 1;
    }
    return 0;
}
