#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct zip;

namespace vexlo::workbook {

// The zip package of a workbook: a template file, or parts held in memory. Saving copies every
// part it is not told to change exactly as it was, in the package's own order.
class WorkbookPackage final {
public:
    // Throws errc::BadTemplate naming the file when it is missing, unreadable, a legacy binary
    // workbook or no zip package.
    static std::unique_ptr<WorkbookPackage> open(const std::string& path);
    static std::unique_ptr<WorkbookPackage> inMemory(
        std::vector<std::pair<std::string, std::string>> parts);

    WorkbookPackage(const WorkbookPackage&) = delete;
    WorkbookPackage& operator=(const WorkbookPackage&) = delete;
    ~WorkbookPackage();

    // The part's name as the package spells it (part names ignore letter case), if present.
    std::optional<std::string> find(const std::string& name) const;
    // The part's bytes; a part that cannot be read throws errc::BadTemplate.
    std::string read(const std::string& name) const;

    // `Template workbook "path"`, the start of every message about the template.
    std::string describe() const;

    struct Changes {
        std::map<std::string, std::string_view> replaced;  // new bytes; new names are added
        std::set<std::string> removed;
    };
    // Writes the package with changes to path, replacing it atomically.
    void saveAs(const std::string& path, const Changes& changes) const;

private:
    WorkbookPackage() = default;
    void index(std::string name, std::size_t entry);
    // Adds every part to archive; returns what failed, or "".
    std::string addParts(zip* archive, const Changes& changes) const;

    std::string path_;
    zip* archive_ = nullptr;
    std::vector<std::string> names_;                  // in package order
    std::map<std::string, std::size_t> byLowerName_;  // lower-case name -> position in names_
    std::vector<std::size_t> entries_;                // zip entry of each name
    std::vector<std::string> memoryParts_;            // bytes of each name when in memory
};

}  // namespace vexlo::workbook
