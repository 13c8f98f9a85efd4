#include "textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <utility>

#include "error.h"

namespace vexlo {

namespace {

errc::Number errorNumberFor(int errnoValue) {
    switch (errnoValue) {
        case ENOENT:
            return errc::FileNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return errc::PermissionDenied;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return errc::DiskFull;
        case ENOTDIR:
            return errc::PathNotFound;
        default:
            return errc::PathFileAccess;
    }
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

const char* fileKindName(unsigned mode) noexcept {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "a special file";
}

namespace {

// An open file descriptor, closed with the object unless released.
class FileDescriptor final {
public:
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const noexcept { return fd_; }
    int release() noexcept { return std::exchange(fd_, -1); }

private:
    int fd_;
};

[[noreturn]] void throwNotRegular(const std::string& path, mode_t mode) {
    throw Error(errc::PathFileAccess, "Cannot read \"" + path + "\": it is " + fileKindName(mode) +
                                          ", not a regular file");
}

// The descriptor of a regular file opened for reading; -1 with errno set when it cannot be
// opened. Anything else throws.
int openReadable(const std::string& path) {
    struct stat info {};
    // Looked at before opening: opening a device can have effects of its own.
    if (::stat(path.c_str(), &info) != 0) {
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        throwNotRegular(path, info.st_mode);
    }
    // Should the path have become a FIFO since, the open still returns at once, and the check
    // below refuses it; O_NONBLOCK changes nothing for reading a regular file.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0) {
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        throwNotRegular(path, info.st_mode);
    }
    return file.release();
}

// The whole content from fd; false when a read failed, with errno set and the bytes before it.
bool readAll(int fd, std::string& content) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            content.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0) {
            return true;
        } else if (errno != EINTR) {
            return false;
        }
    }
}

}  // namespace

void throwFileError(int errnoValue, const std::string& action, const std::string& path) {
    throw Error(errorNumberFor(errnoValue),
                "Cannot " + action + " \"" + path + "\": " + std::strerror(errnoValue));
}

std::vector<std::string> splitTextLines(std::string_view text) {
    // Every mark: a file that starts with a line beginning with one would otherwise lose it, and
    // change that line's meaning, when it is written back and read again.
    while (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        const bool crLf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        start = end + (crLf ? 2 : 1);
    }
    return lines;
}

TextLines readTextLines(const std::string& path) {
    TextLines result;
    errno = 0;
    const FileDescriptor file(openReadable(path));
    if (file.get() < 0) {
        result.errorNumber = errno != 0 ? errno : EIO;
        return result;
    }
    result.opened = true;
    std::string content;
    result.complete = readAll(file.get(), content);
    if (!result.complete) {
        result.errorNumber = errno != 0 ? errno : EIO;
    }
    result.lines = splitTextLines(content);
    // A read error leaves the lines before it; the line it broke into is not trusted.
    if (!result.complete && !result.lines.empty()) {
        result.lines.pop_back();
    }
    return result;
}

std::vector<std::string> readTextLinesOrThrow(const std::string& path) {
    TextLines read = readTextLines(path);
    if (!read.opened) {
        throwFileError(read.errorNumber, "open", path);
    }
    if (!read.complete) {
        throwFileError(read.errorNumber, "read", path);
    }
    return std::move(read.lines);
}

namespace {

// The temporaries being written, for the stop signals' handler to remove: fixed slots, read in
// a handler, where nothing may allocate or lock.
struct Temporary {
    volatile std::sig_atomic_t inUse = 0;
    int folder = -1;
    char name[NAME_MAX + 1] = {};
};
Temporary temporaries[8];

// Claims a slot for the temporary about to be created, before it exists: a signal coming just
// after its creation still finds it. A slot already held is given the new name.
int claimTemporary(int slot, int folder, const std::string& name) noexcept {
    for (int free = 0; slot < 0 && free < static_cast<int>(std::size(temporaries)); ++free) {
        slot = temporaries[free].inUse == 0 ? free : -1;
    }
    if (slot >= 0) {
        Temporary& temporary = temporaries[slot];
        temporary.inUse = 0;
        temporary.folder = folder;
        name.copy(temporary.name, NAME_MAX);
        temporary.name[std::min<std::size_t>(name.size(), NAME_MAX)] = '\0';
        temporary.inUse = 1;
    }
    return slot;
}

void releaseTemporary(int slot) noexcept {
    if (slot >= 0) {
        temporaries[slot].inUse = 0;
    }
}

extern "C" void removeTemporariesAndStop(int signal) {
    for (Temporary& temporary : temporaries) {
        if (temporary.inUse != 0) {
            ::unlinkat(temporary.folder, temporary.name, 0);
        }
    }
    // Ends as the signal would have ended the program: the caller sees it in the status.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// A fresh name for the temporary beside name: "." + name + "." + six letters or digits, the
// name cut so that the whole fits wherever the name does.
std::string temporaryName(const std::string& name, unsigned attempt) {
    static const char letters[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    constexpr std::size_t longestName = NAME_MAX - 8;
    std::string temporary = "." + name.substr(0, longestName) + ".";
    static unsigned long counter = 0;
    unsigned long seed = (static_cast<unsigned long>(::getpid()) << 20) ^ ++counter ^
                         (static_cast<unsigned long>(std::time(nullptr)) << 8) ^ attempt;
    for (int i = 0; i < 6; ++i) {
        temporary += letters[seed % 62];
        seed = seed / 62 + 0x9E3779B9UL * (i + 1);
    }
    return temporary;
}

}  // namespace

void removeTemporariesOnStopSignals() noexcept {
    struct sigaction action {};
    action.sa_handler = removeTemporariesAndStop;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
}

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
    // A data file may be a link to a shared copy: the copy is replaced, the link stays. Only a
    // link of the user's own, in a folder of the user's own, is followed, as editors keep them:
    // one that another user could have planted is replaced itself, never its target.
    struct stat link {};
    if (::lstat(path_.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        struct stat folder {};
        const bool own = link.st_uid == ::geteuid() &&
                         ::stat(folderOf(path_).c_str(), &folder) == 0 &&
                         folder.st_uid == ::geteuid();
        char resolved[PATH_MAX];
        if (own && ::realpath(path_.c_str(), resolved) != nullptr) {
            path_ = resolved;
        }
    }
    // The rename would replace a file the user may not write to as well: it is refused, as a
    // write to it would be.
    if (::faccessat(AT_FDCWD, path_.c_str(), F_OK, AT_EACCESS) == 0 &&
        ::faccessat(AT_FDCWD, path_.c_str(), W_OK, AT_EACCESS) != 0) {
        throwFileError(errno, "write", path_);
    }
    const auto slash = path_.rfind('/');
    name_ = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    const std::string folder = folderOf(path_);
    // Everything happens relative to the folder as opened: moved meanwhile, it gets the file
    // or nothing, and no temporary is left where it went.
    folder_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // A name taken already is drawn anew; any other failure fails alike each time, and its
    // errno is what the message gives.
    int created = -1;
    for (unsigned attempt = 0; folder_ >= 0 && created < 0 && attempt < 100; ++attempt) {
        tempName_ = temporaryName(name_, attempt);
        slot_ = claimTemporary(slot_, folder_, tempName_);
        created =
            ::openat(folder_, tempName_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    }
    FileDescriptor fd(created);
    if (fd.get() < 0) {
        const int saved = errno;
        tempName_.clear();
        releaseTemporary(slot_);
        if (folder_ >= 0) {
            ::close(folder_);
            folder_ = -1;
        }
        throw Error(errorNumberFor(saved), "Cannot create \"" + path_ + "\": the folder \"" +
                                               folder + "\" cannot be written to (" +
                                               std::strerror(saved) + ")");
    }
    // The new file gets the old file's permissions, or the usual ones for a new file.
    struct stat existing {};
    if (::fstatat(folder_, name_.c_str(), &existing, 0) == 0) {
        ::fchmod(fd.get(), existing.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd.get(), 0666 & ~mask);
    }
    file_ = ::fdopen(fd.get(), "wb");
    if (file_ == nullptr) {
        const int saved = errno;
        removeTemporary();  // the destructor does not run for a constructor that throws
        ::close(folder_);
        throwFileError(saved, "create", path_);
    }
    fd.release();  // the stream closes it now
}

AtomicFile::~AtomicFile() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
    removeTemporary();
    if (folder_ >= 0) {
        ::close(folder_);
    }
}

void AtomicFile::removeTemporary() noexcept {
    if (!tempName_.empty()) {
        ::unlinkat(folder_, tempName_.c_str(), 0);
        tempName_.clear();
    }
    releaseTemporary(slot_);
    slot_ = -1;
}

void AtomicFile::fail(int errorNumber, const std::string& what) {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    removeTemporary();
    throwFileError(errorNumber, what, path_);
}

void AtomicFile::write(std::string_view bytes) {
    if (file_ == nullptr) {
        throw Error(errc::PathFileAccess, "File \"" + path_ + "\" is not open for writing");
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        fail(errno, "write");
    }
}

void AtomicFile::writeLine(std::string_view text) {
    write(text);
    write("\r\n");
}

void AtomicFile::commit() {
    if (file_ == nullptr) {
        throw Error(errc::PathFileAccess, "File \"" + path_ + "\" is not open for writing");
    }
    if (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0) {
        fail(errno, "write");
    }
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) {
        fail(errno, "write");
    }
    if (::renameat(folder_, tempName_.c_str(), folder_, name_.c_str()) != 0) {
        fail(errno, "replace");
    }
    tempName_.clear();
    releaseTemporary(slot_);
    slot_ = -1;
}

void writeTextLines(const std::string& path, const std::vector<std::string>& lines) {
    AtomicFile file(path);
    for (const auto& line : lines) {
        file.writeLine(line);
    }
    file.commit();
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

void ignoreFileSizeSignal() noexcept {
    std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace vexlo
