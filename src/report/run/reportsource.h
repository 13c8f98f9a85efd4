#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "design/schematictool.h"

namespace vexlo::report {

// What a report run takes from the schematic tool, asked once at the top of the run: the names
// its files are built from and the flattened design.
struct ReportSource {
    std::string designName;    // D: the design's name
    std::string outputFolder;  // F: the folder its reports go in
    std::shared_ptr<const design::FlattenedDesign> design;

    // F + D + choiceSuffix + extension (".xls", ".txt", ".html" or ".csv"), by plain
    // concatenation; base + choiceSuffix + extension when a base is given. A design name or a
    // saved selection's name (choiceSuffix less its "_") that would put the report outside F,
    // holding a "/" or a NUL, throws NameLeavesFolder naming it.
    std::string reportFile(std::string_view choiceSuffix, std::string_view extension,
                           std::string_view base = {}) const;
};

}  // namespace vexlo::report
