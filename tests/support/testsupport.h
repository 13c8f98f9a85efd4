#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vexlo::test {

// Every file name in a folder, sorted (hidden ones included).
std::vector<std::string> listFolder(const std::string& folder);
// Every file and folder below a folder, relative to it and sorted; folders end in "/".
std::vector<std::string> listTree(const std::string& folder);

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path, without a trailing "/".
    const std::string& path() const noexcept { return path_; }
    // path() + "/" + name
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Every file name in the folder, sorted (hidden ones included).
    std::vector<std::string> listing() const { return listFolder(path_); }

private:
    std::string path_;
};

// A program's exit status and what it wrote on stdout and stderr.
struct ProgramRun {
    int status = -1;
    std::string out, err;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
// Lines joined with CR LF after each.
std::string crlf(const std::vector<std::string>& lines);
// The fields between separators; an empty text has none.
std::vector<std::string> fields(const std::string& text, char separator);
// The texts with the separator between them.
std::string joined(const std::vector<std::string>& texts, const std::string& separator);

// A file-size limit for its lifetime: every write past it fails as on a full disk (also for
// root, whom permission bits do not stop). The signal such a write raises is ignored, so the
// write reports the failure instead.
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long long oldSoftLimit_ = 0;
    void (*oldHandler_)(int) = nullptr;
};

// Runs the check in a child process as an ordinary user (nobody, when the tests run as root, so
// that file permissions hold) and returns its exit status; the check returns the status.
int runUnprivileged(const std::function<int()>& check);

// Puts a recording xdg-open first on PATH for its lifetime: each call appends its argument as
// one line to a log, so tests see which reports were shown, and ends with the given status.
class ViewerRecorder {
public:
    explicit ViewerRecorder(int exitStatus = 0);
    ~ViewerRecorder();
    ViewerRecorder(const ViewerRecorder&) = delete;
    ViewerRecorder& operator=(const ViewerRecorder&) = delete;

    // The files shown so far, waiting briefly for detached viewers to finish writing.
    std::vector<std::string> shown(std::size_t expected) const;

private:
    TempDir dir_;
    std::string oldPath_;
};

// A number as its `bytes` lowest bytes, the lowest first (the flattened design's byte order).
std::string le(std::uint64_t value, int bytes = 4);

// C escapes as the bytes they stand for: \r \n \t \0 \\ and \xHH.
std::string unescape(const std::string& text);

// The message of the Error the call throws, or "no error".
std::string errorOf(const std::function<void()>& call);

// The folder holding the built programs (VEXLO_BUILD_DIR from CTest, else the current one).
std::string buildDir();
// The source tree (VEXLO_SOURCE_DIR from CTest, else the one the tests were built from, as when
// CTest lists them).
std::string sourceDir();

}  // namespace vexlo::test
