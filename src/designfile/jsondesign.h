#pragma once

#include <string>
#include <string_view>

#include "designfile/designfile.h"

namespace vexlo::designfile {

// Reads our JSON design format. A relative project or document path is prefixed with baseFolder
// and "/"; an absent one counts as "" and so becomes that folder. Messages start with the place
// in the file ("components[3].attributes[1]: ...") but do not name the file.
LoadedDesign parseJsonDesign(std::string_view json, const std::string& baseFolder);

}  // namespace vexlo::designfile
