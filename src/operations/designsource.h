#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "design/schematictool.h"

namespace vexlo::operations {

// A design file the window plays the schematic tool over (vexlo FILE): each open reads the file
// afresh, so that every action works on the design as it was last saved, and notes the files it
// read with their times and sizes, so that a change on disk can be told.
class DesignFileSource final {
public:
    DesignFileSource(std::string path, std::string variant)
        : path_(std::move(path)), variant_(std::move(variant)) {}

    // The tool over the file as it is now. A file that cannot be read as a design throws Error
    // BadDesignFile with the reader's message.
    std::unique_ptr<design::SchematicTool> open();
    const std::string& path() const noexcept { return path_; }
    // The files the last open read: the design file, and a KiCad design's sheets.
    const std::vector<std::string>& files() const noexcept { return files_; }
    // Whether one of them changed on disk (written, replaced, removed) since it was read.
    bool changedOnDisk() const;

private:
    struct Stamp {
        bool exists = false;
        std::filesystem::file_time_type time;
        std::uintmax_t size = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp stampOf(const std::string& path);

    std::string path_;
    std::string variant_;
    std::vector<std::string> files_;
    std::vector<Stamp> stamps_;
};

}  // namespace vexlo::operations
