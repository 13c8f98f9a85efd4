#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "design/schematictool.h"

namespace vexlo::report {

// What a report run takes from the schematic tool, asked once at the top of the run: the names
// its files are built from and the flattened design.
struct ReportSource {
    std::string designName;    // D: the active view's document name less its last two characters
    std::string documentPath;  // P: the active document's path, as the tool returns it
    std::string outputFolder;  // F: P less its last four characters
    std::shared_ptr<const design::FlattenedDesign> design;

    // F + D + choiceSuffix + extension (".xls", ".txt", ".html" or ".csv"), by plain
    // concatenation; base + choiceSuffix + extension when a base is given. A design name or a
    // saved selection's name (choiceSuffix less its "_") that would put the report outside F,
    // holding a "/" or a NUL, throws NameLeavesFolder naming it.
    std::string reportFile(std::string_view choiceSuffix, std::string_view extension,
                           std::string_view base = {}) const;
};

// F for a document path P. A P that is not an absolute folder ending with "/", or is under five
// characters, throws BadDocumentPath naming it.
std::string outputFolderOf(const std::string& documentPath);

}  // namespace vexlo::report
