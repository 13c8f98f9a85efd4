#pragma once

#include <string>
#include <vector>

namespace vexlo::report {

// Files that live only during a report run ("attr2xl.tmp", "temp.csv"). However the run ends,
// every listed file still there is deleted, so none is left behind.
class TransientFiles {
public:
    explicit TransientFiles(std::vector<std::string> paths) : paths_(std::move(paths)) {}
    ~TransientFiles();
    TransientFiles(const TransientFiles&) = delete;
    TransientFiles& operator=(const TransientFiles&) = delete;

    // Leaves the file in place for the next step of the run.
    void keep(const std::string& path);
    // Deletes the file now; one that exists but cannot be deleted throws.
    void remove(const std::string& path);

private:
    std::vector<std::string> paths_;
};

}  // namespace vexlo::report
