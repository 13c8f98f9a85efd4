#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/error.h"

namespace vexlo::designfile {

// A design file that cannot be read or used throws Error BadDesignFile: the problem as its
// description, the file (and the line and column where one applies) as its context; nothing of
// the design is served or reported after it.

// Throws the problem within "PATH: line L, column C", the place counted in the text from its
// start (columns in bytes, from 1).
[[noreturn]] void failAt(const std::string& path, std::string_view text, std::size_t offset,
                         const std::string& problem);

// Throws the problem within "PATH".
[[noreturn]] void fail(const std::string& path, const std::string& problem);

// The whole of a file. A file that cannot be read, or that is no regular file (a folder, a
// FIFO: never waited on), throws the reason within 'cannot read design file "PATH"'.
std::string readFileBytes(const std::string& path);

// The text in double quotes, as messages name a user's texts.
std::string inQuotes(std::string_view text);

}  // namespace vexlo::designfile
