#pragma once

#include <string>
#include <string_view>

#include "designfile/kicadschematic.h"

namespace vexlo::designfile {

// Whether JSON text is a KiCad project file rather than our own design format: KiCad writes
// its "meta" block into every project.
bool isKicadProject(std::string_view json);

// What the project file at path says: its top-level sheets (in KiCad 10 projects, else the root
// sheet of the project's name) and its variants. Throws Error BadDesignFile for JSON it cannot
// read.
KicadProject readKicadProject(const std::string& path, std::string_view json);

// The project of a root sheet given on its own: the project file of the same name beside it
// when there is one (for the uuid KiCad 10 gives the sheet, and the variants), else the sheet
// alone.
KicadProject projectOfSheet(const std::string& sheetPath);

}  // namespace vexlo::designfile
