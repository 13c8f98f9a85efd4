#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo {

// What a file of that st_mode is, as messages name one that is not a regular file: "a folder",
// "a FIFO", "a character device" and so on.
const char* fileKindName(unsigned mode) noexcept;

// Lines of a text file as far as they could be read. Reading the data files is guarded: a file
// that cannot be opened, or breaks off, leaves the caller with what was read before.
struct TextLines {
    std::vector<std::string> lines;
    bool opened = false;
    bool complete = false;
    int errorNumber = 0;  // the errno value of a failed open or read, else 0
};

// A text's lines without their line ends. CR LF, LF and a lone CR each end a line; UTF-8
// byte-order marks at the start are skipped. Every other byte is kept as it is.
std::vector<std::string> splitTextLines(std::string_view text);

// Reads a text file and splits it as splitTextLines does. A file that is missing or cannot be
// opened or read is no error here (see TextLines). A path that is no regular file (a FIFO, a
// device, a folder) throws an Error naming it and what it is, without waiting on it: it is a
// mistake to point out rather than an absent file.
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
    void removeTemporary() noexcept;

    std::string path_;
    std::string name_;      // the file's name in its folder
    int folder_ = -1;       // the folder, as opened when the file was begun
    std::string tempName_;  // the temporary beside it, while it is written
    int slot_ = -1;         // its place among the temporaries the stop signals remove
    std::FILE* file_ = nullptr;
};

// On SIGTERM, SIGINT and SIGHUP the temporaries of the files being written are removed, and the
// program ends as the signal would have ended it: no half-written file is left beside a report.
void removeTemporariesOnStopSignals() noexcept;

// Writes every line with CR LF, replacing the file atomically.
void writeTextLines(const std::string& path, const std::vector<std::string>& lines);

bool fileExists(const std::string& path);

// A write past the file-size limit (ulimit -f) then fails with EFBIG, which the file writers
// report as a full disk, instead of the signal SIGXFSZ ending the program without a word and
// leaving its temporary file behind. Each program calls it once at its start.
void ignoreFileSizeSignal() noexcept;

// An Error for a failed file operation on path, from the errno value that caused it.
[[noreturn]] void throwFileError(int errnoValue, const std::string& action,
                                 const std::string& path);

}  // namespace vexlo
