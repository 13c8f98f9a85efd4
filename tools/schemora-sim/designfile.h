#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "designfile/designfile.h"

namespace vexlo::sim {

// A design as the simulator serves it. The components are kept only as the finished stream,
// which is all a flatten call sends: the read design is dropped once the stream is built.
struct Design {
    std::string project;
    std::optional<design::ToolDocument> document;  // none: no active view and no active document
    std::string flatStream;
    std::uint32_t componentCount = 0;
    std::string summary;  // what was read, for the ready line
};

// Reads a design file of any format the design reader knows, with the variant applied.
Design loadDesignFile(const QString& path, const std::string& variant = {});

// The built-in sample board, its project folder placed (and created) under root.
Design loadSampleBoard(const QString& root);

}  // namespace vexlo::sim
