#include "designfile/designerror.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/textfile.h"

namespace vexlo::designfile {

void failAt(const std::string& path, std::string_view text, std::size_t offset,
            const std::string& problem) {
    const std::string_view before = text.substr(0, std::min(offset, text.size()));
    const std::size_t line =
        static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n')) + 1;
    const std::size_t lineStart = before.rfind('\n');
    const std::size_t column =
        lineStart == std::string_view::npos ? before.size() + 1 : before.size() - lineStart;
    throw Error(errc::BadDesignFile, problem,
                path + ": line " + std::to_string(line) + ", column " + std::to_string(column));
}

void fail(const std::string& path, const std::string& problem) {
    throw Error(errc::BadDesignFile, problem, path);
}

namespace {

[[noreturn]] void cannotRead(const std::string& path, const std::string& reason) {
    throw Error(errc::BadDesignFile, reason, "cannot read design file " + inQuotes(path));
}

}  // namespace

std::string readFileBytes(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        cannotRead(path, std::strerror(errno));
    }
    struct stat status {};
    std::string bytes;
    const auto close = [fd]() { ::close(fd); };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const int number = errno;
        close();
        cannotRead(path, S_ISREG(status.st_mode)
                             ? std::strerror(number)
                             : std::string("it is ") + fileKindName(status.st_mode) +
                                   ", not a regular file");
    }
    bytes.resize(static_cast<std::size_t>(status.st_size));
    std::size_t done = 0;
    for (;;) {
        if (done == bytes.size()) {
            bytes.resize(bytes.size() + 65536);
        }
        const ssize_t count = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            const int number = errno;
            close();
            cannotRead(path, std::strerror(number));
        }
        if (count == 0) {
            break;
        }
        done += static_cast<std::size_t>(count);
    }
    close();
    bytes.resize(done);
    return bytes;
}

std::string inQuotes(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

}  // namespace vexlo::designfile
