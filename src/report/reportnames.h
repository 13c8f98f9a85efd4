#pragma once

#include <string>
#include <string_view>

#include "design/schematictool.h"

namespace vexlo::report {

// The file names of one report run, all built by plain string concatenation.
struct ReportNames {
    std::string designName;    // D: the active view's document name less its last two characters
    std::string documentPath;  // P: the active document's path, as the tool returns it
    std::string outputFolder;  // F: P less its last four characters
    std::string choiceSuffix;  // "" or "_" followed by a saved selection's name

    // P + "/attr2xl.tmp", the TAB-separated intermediate file.
    std::string intermediateFile() const { return documentPath + "/attr2xl.tmp"; }
    // P + "temp.csv", the compressed table. No separator is inserted: a P without a trailing
    // one puts the table beside its folder, under a name that begins with the folder's.
    std::string tableFile() const { return documentPath + "temp.csv"; }
    // F + D + choiceSuffix + extension (".xls", ".txt", ".html" or ".csv").
    std::string reportFile(std::string_view extension) const {
        return outputFolder + designName + choiceSuffix + std::string(extension);
    }
};

// Asks the tool for D and P. A document name under two characters throws BadDesignName, a
// document path under four throws BadDocumentPath, so a run fails before it writes any file.
ReportNames reportNames(design::SchematicTool& tool, const std::string& choiceSuffix);

// F for a document path P; a P under four characters throws BadDocumentPath.
std::string outputFolderOf(const std::string& documentPath);

}  // namespace vexlo::report
