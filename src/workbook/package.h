#pragma once

#include <cstdint>
#include <functional>
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

// What a template may hold. A template is a page for the report to fill, a few megabytes at
// most in practice; the limits leave room for a workbook with large sheets of data beside the
// report, while a crafted package of a few megabytes can no longer inflate to gigabytes. The
// total counts the inflated size every part declares, checked before anything is inflated; a
// part that inflates to more than it declares is damaged.
inline constexpr std::uint64_t maxTemplateInflatedSize = std::uint64_t(512) << 20;
inline constexpr std::uint64_t maxTemplateParts = 10000;

// The zip package of a workbook: a template file, or parts held in memory. Saving copies every
// part it is not told to change exactly as it was, in the package's own order.
class WorkbookPackage final {
public:
    // Throws errc::BadTemplate naming the file when it is missing, unreadable, a legacy binary
    // workbook, no zip package, or larger than the limits above.
    static std::unique_ptr<WorkbookPackage> open(const std::string& path);
    static std::unique_ptr<WorkbookPackage> inMemory(
        std::vector<std::pair<std::string, std::string>> parts);

    WorkbookPackage(const WorkbookPackage&) = delete;
    WorkbookPackage& operator=(const WorkbookPackage&) = delete;
    ~WorkbookPackage();

    // The part's name as the package spells it (part names ignore letter case), if present.
    std::optional<std::string> find(const std::string& name) const;
    // The part's bytes; a part that cannot be read, fails its checksum or inflates to other
    // than the size it declares throws errc::BadTemplate.
    std::string read(const std::string& name) const;
    // The same a piece at a time, for a part that is only scanned: consume sees each piece.
    void read(const std::string& name, const std::function<void(std::string_view)>& consume) const;

    // `Template workbook "path"`, the start of every message about the template.
    std::string describe() const;

    // A part copied with one range of its bytes replaced, read from the template while the
    // package is written rather than held in memory.
    struct Rewrite {
        std::uint64_t at = 0;
        std::uint64_t length = 0;
        std::string bytes;
    };
    struct Changes {
        std::map<std::string, std::string_view> replaced;  // new bytes; new names are added
        std::map<std::string, Rewrite> rewritten;
        std::set<std::string> removed;
    };
    // Writes the package with changes to path, replacing it atomically.
    void saveAs(const std::string& path, const Changes& changes) const;

private:
    WorkbookPackage() = default;
    void index(std::string name, std::size_t entry, std::uint64_t size);
    // Refuses a template part whose name leaves the package or is taken already; name is the
    // template as messages name it.
    static void checkPartName(const std::string& name, std::string_view part,
                              const WorkbookPackage& package);
    std::size_t positionOf(const std::string& name) const;
    // Adds every part to archive, keeping in held the new bytes it reads when it is closed;
    // returns what failed, or "".
    std::string addParts(zip* archive, const Changes& changes) const;

    std::string path_;
    zip* archive_ = nullptr;
    std::vector<std::string> names_;                  // in package order
    std::map<std::string, std::size_t> byLowerName_;  // lower-case name -> position in names_
    std::vector<std::size_t> entries_;                // zip entry of each name
    std::vector<std::uint64_t> sizes_;                // inflated size each declares
    std::vector<std::string> memoryParts_;            // bytes of each name when in memory
};

}  // namespace vexlo::workbook
