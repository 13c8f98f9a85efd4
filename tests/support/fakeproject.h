#pragma once

// An in-memory tool serving a design whose project is a test's fresh folder.
#include <string>

#include "faketool.h"
#include "testsupport.h"

namespace vexlo::test {

// The project is the folder, the document "<design>.1" lies in its "sch/" folder (so reports
// land in the project folder), and that folder exists.
inline void serveProjectIn(design::FakeTool& tool, const TempDir& project,
                           const std::string& designName) {
    tool.project = project.path() + "/";
    tool.documentName = designName + ".1";
    tool.documentPath = project.path() + "/sch/";
    writeFile(project.file("sch/" + designName + ".sch"), "");
}

}  // namespace vexlo::test
