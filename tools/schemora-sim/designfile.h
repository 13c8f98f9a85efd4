#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace vexlo::sim {

// The open document: the active view's document name and the document's folder.
struct Document {
    std::string name;
    std::string path;
};

// A design as the simulator serves it. The components are kept only as the finished stream,
// which is all a flatten call sends: the parsed JSON is dropped once the stream is built.
struct Design {
    std::string project;
    std::optional<Document> document;  // none: no active view and no active document
    std::string flatStream;
    std::uint32_t componentCount = 0;
};

// A design that cannot be read or does not follow the design file format.
class DesignError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses design JSON. A relative project or document path is prefixed with baseFolder and "/";
// an absent one counts as "" and so becomes that folder.
Design parseDesign(const QByteArray& json, const QString& baseFolder);

// Reads a design file; its relative paths are taken from the file's own folder.
Design loadDesignFile(const QString& path);

// The built-in sample board, its project folder placed (and created) under root.
Design loadSampleBoard(const QString& root);

}  // namespace vexlo::sim
