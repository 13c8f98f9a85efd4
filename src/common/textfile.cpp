#include "textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "error.h"

namespace vexlo {

namespace {

void stripLineEnd(std::string& line) {
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
}

int errorNumberFor(int errnoValue) {
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

void throwFileError(int errnoValue, const std::string& action, const std::string& path) {
    throw Error(errorNumberFor(errnoValue),
                "Cannot " + action + " \"" + path + "\": " + std::strerror(errnoValue));
}

TextLines readTextLines(const std::string& path) {
    TextLines result;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return result;
    }
    result.opened = true;
    std::string content;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        content.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    std::size_t start = 0;
    while (start < content.size()) {
        auto end = content.find('\n', start);
        const bool lastLine = end == std::string::npos;
        if (lastLine) {
            end = content.size();
        }
        std::string line = content.substr(start, end - start);
        stripLineEnd(line);
        result.lines.push_back(std::move(line));
        start = end + 1;
    }
    // A read error leaves the lines before it; the line it broke into is not trusted.
    if (failed && !result.lines.empty()) {
        result.lines.pop_back();
    }
    result.complete = !failed;
    return result;
}

std::vector<std::string> readTextLinesOrThrow(const std::string& path) {
    errno = 0;
    TextLines read = readTextLines(path);
    if (!read.opened) {
        throwFileError(errno != 0 ? errno : ENOENT, "open", path);
    }
    if (!read.complete) {
        throwFileError(errno != 0 ? errno : EIO, "read", path);
    }
    return std::move(read.lines);
}

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
    // A data file may be a link to a shared copy: the copy is replaced, the link stays.
    char resolved[PATH_MAX];
    if (::realpath(path_.c_str(), resolved) != nullptr) {
        path_ = resolved;
    }
    // The rename would replace a file the user may not write to as well: it is refused, as a
    // write to it would be.
    if (::faccessat(AT_FDCWD, path_.c_str(), F_OK, AT_EACCESS) == 0 &&
        ::faccessat(AT_FDCWD, path_.c_str(), W_OK, AT_EACCESS) != 0) {
        throwFileError(errno, "write", path_);
    }
    const auto slash = path_.rfind('/');
    const std::string name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    tempPath_ = folderOf(path_) + "/." + name + ".XXXXXX";
    const int fd = ::mkstemp(tempPath_.data());
    if (fd < 0) {
        const int saved = errno;
        tempPath_.clear();
        throw Error(errorNumberFor(saved), "Cannot create \"" + path_ + "\": the folder \"" +
                                               folderOf(path_) + "\" cannot be written to (" +
                                               std::strerror(saved) + ")");
    }
    // The new file gets the old file's permissions, or the usual ones for a new file.
    struct stat existing {};
    if (::stat(path_.c_str(), &existing) == 0) {
        ::fchmod(fd, existing.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
        const int saved = errno;
        ::close(fd);
        fail(saved, "create");
    }
}

AtomicFile::~AtomicFile() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
    }
}

void AtomicFile::fail(int errorNumber, const std::string& what) {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }
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
    if (std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        fail(errno, "replace");
    }
    tempPath_.clear();
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

void removeFileIfExists(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        throwFileError(errno, "delete", path);
    }
}

}  // namespace vexlo
