#pragma once

#include <functional>
#include <string>

#include "design/schematictool.h"

namespace vexlo {

// Where a data file is read and written: the project directory if the file is there, else the
// first folder of the search list that has it, else the project directory (so the first write
// creates it there). The project directory ends with "/", and the file name is appended to it
// directly. The search list is split at every ":", nothing trimmed; an empty entry is the root.
std::string locateDataFile(const std::string& projectDirectory, const std::string& fileName,
                           const std::string& searchList,
                           const std::function<bool(const std::string&)>& exists);

// The data file's path for the running tool's project, with the search list from QOSP.
std::string LoadChoices(design::SchematicTool& tool, const std::string& fileName);

}  // namespace vexlo
