#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo {

// Lines of a text file as far as they could be read. Reading the data files is guarded: a file
// that cannot be opened, or breaks off, leaves the caller with what was read before.
struct TextLines {
    std::vector<std::string> lines;
    bool opened = false;
    bool complete = false;
};

// Reads a text file line by line, accepting CR LF or LF and stripping the line end. Bytes are
// kept as they are. Never throws.
TextLines readTextLines(const std::string& path);

// The same, but a file that cannot be opened or read throws an Error naming it.
std::vector<std::string> readTextLinesOrThrow(const std::string& path);

// A file written beside its final name and put in place by one rename: readers see the old file
// or the complete new one, never a part. Dropped without commit(), the old file stays as it was.
class AtomicFile {
public:
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    void write(std::string_view bytes);
    // The text followed by CR LF.
    void writeLine(std::string_view text);
    void commit();

private:
    void fail(int errorNumber, const std::string& what);

    std::string path_;
    std::string tempPath_;
    std::FILE* file_ = nullptr;
};

// Writes every line with CR LF, replacing the file atomically.
void writeTextLines(const std::string& path, const std::vector<std::string>& lines);

bool fileExists(const std::string& path);

// Deletes a file if it is there; a file that exists but cannot be deleted throws.
void removeFileIfExists(const std::string& path);

// An Error for a failed file operation on path, from the errno value that caused it.
[[noreturn]] void throwFileError(int errnoValue, const std::string& action,
                                 const std::string& path);

}  // namespace vexlo
