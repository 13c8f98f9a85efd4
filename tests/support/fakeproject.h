#pragma once

// An in-memory tool serving a design whose project is a test's fresh folder.
#include <string>

#include "design/toolnames.h"
#include "faketool.h"
#include "testsupport.h"

namespace vexlo::test {

// The tool answers for the design as for one whose reports go in the project folder, and that
// folder holds a schematic of the design's name.
inline void serveProjectIn(design::FakeTool& tool, const TempDir& project,
                           const std::string& designName) {
    const auto document = design::toolDocumentOf(designName, project.path() + "/");
    tool.project = project.path() + "/";
    tool.documentName = document.name;
    tool.documentPath = document.path;
    writeFile(project.file("sch/" + designName + ".sch"), "");
}

}  // namespace vexlo::test
