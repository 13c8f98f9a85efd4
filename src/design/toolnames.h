#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vexlo::design {

// The schematic tool names its open document by the active view's document name and the
// document's folder, ending with "/". The reports take from these the design name D, the
// document name less its last two characters, and the output folder F, the folder less its
// last four. These rules, and their inverse by which a design read from its file is answered as
// the tool would answer it, live here alone.

// The open document as the tool answers for it.
struct ToolDocument {
    std::string name;  // the active view's document name
    std::string path;  // the active document's folder
};

// D for a document name; nothing when the name has fewer than two characters.
std::optional<std::string> designNameOf(std::string_view documentName);

// F for a document path. A path that is not an absolute folder ending with "/", or is under five
// characters, throws Error BadDocumentPath naming it.
std::string outputFolderOf(const std::string& documentPath);

// What the tool answers for a design of that name whose reports go in that folder: the name the
// rules give back as D, the path they give back as F.
ToolDocument toolDocumentOf(const std::string& designName, const std::string& outputFolder);

}  // namespace vexlo::design
