#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vexlo::designfile {

// A design file that cannot be read or used. The text names the file, and the line and column
// where one applies; nothing of the design is served or reported after it.
class DesignError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "PATH: line L, column C: problem", the place counted in the text from its start (columns in
// bytes, from 1).
[[noreturn]] void failAt(const std::string& path, std::string_view text, std::size_t offset,
                         const std::string& problem);

// "PATH: problem".
[[noreturn]] void fail(const std::string& path, const std::string& problem);

// The whole of a file. A file that cannot be read, or that is no regular file (a folder, a
// FIFO: never waited on), throws DesignError 'cannot read design file "PATH": REASON'.
std::string readFileBytes(const std::string& path);

// The text in double quotes, as messages name a user's texts.
std::string inQuotes(std::string_view text);

}  // namespace vexlo::designfile
