#pragma once

#include <functional>
#include <string>

namespace vexlo::operations {

// Where a data file is read and written: the project directory if the file is there, else the
// first folder of the search list that has it, else the project directory (so the first write
// creates it there). The file name is appended to the project directory, with a "/" between
// when the directory does not end with one, and that one path is both looked up and returned.
// The search list is split at every ":", nothing trimmed; an empty entry is the root.
std::string locateDataFile(const std::string& projectDirectory, const std::string& fileName,
                           const std::string& searchList,
                           const std::function<bool(const std::string&)>& exists);

// Keeps its old name LoadChoices in the window: the data file's path for a project directory,
// with the search list from QOSP.
std::string locateDataFile(const std::string& projectDirectory, const std::string& fileName);

}  // namespace vexlo::operations
