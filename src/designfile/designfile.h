#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "design/flatdesign.h"
#include "design/toolnames.h"
#include "designfile/designerror.h"

namespace vexlo::designfile {

// The open document of a design read from its file: the design's name and the folder its
// reports go in, ending with "/".
struct Document {
    std::string designName;
    std::string outputFolder;
};

// What a design file says of its open document: the names themselves (a KiCad design), or, for a
// JSON design, what the schematic tool would answer, read by the tool's naming rules when asked.
using OpenDocument = std::variant<Document, design::ToolDocument>;

// What the tool answers for the open document.
design::ToolDocument toolDocumentOf(const OpenDocument& document);

// A design as the schematic tool has it open: the tool's three names and the flattened design.
struct LoadedDesign {
    std::string project;                   // CurrentProject, ending with "/"
    std::optional<OpenDocument> document;  // none: no active view and no active document
    design::FlattenedDesign flattened;
    // What was read, for the tool's ready line: "KiCad schematic 20211123, 3 sheets".
    std::string summary;
    // Every file read: the design file first, then a KiCad design's sheets, each once.
    std::vector<std::string> files;
};

struct ReadOptions {
    std::string variant;  // a KiCad variant to apply; "" for the design as drawn
};

// Reads a design file of any format the program knows, told apart by its content: our JSON
// design, a KiCad schematic or project, or KiCad's XML netlist. Throws Error BadDesignFile naming
// the file (and line and column where one applies) when it cannot be read or used.
LoadedDesign readDesignFile(const std::string& path, const ReadOptions& options = {});

}  // namespace vexlo::designfile
