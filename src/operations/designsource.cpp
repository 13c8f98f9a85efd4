#include "operations/designsource.h"

#include "common/error.h"
#include "designfile/filetool.h"

namespace vexlo::operations {

std::unique_ptr<design::SchematicTool> DesignFileSource::open() {
    designfile::LoadedDesign loaded = designfile::readDesignFile(path_, {variant_});
    // Stamped once read: a save while the design is read shows as a change afterwards only
    // when it lands after the read, which is when the design read is the older one.
    files_ = loaded.files;
    stamps_.clear();
    for (const std::string& file : files_) {
        stamps_.push_back(stampOf(file));
    }
    return std::make_unique<designfile::DesignFileTool>(std::move(loaded));
}

bool DesignFileSource::changedOnDisk() const {
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (!(stampOf(files_[i]) == stamps_[i])) {
            return true;
        }
    }
    return false;
}

DesignFileSource::Stamp DesignFileSource::stampOf(const std::string& path) {
    std::error_code failed;
    Stamp stamp;
    stamp.time = std::filesystem::last_write_time(path, failed);
    stamp.exists = !failed;
    if (stamp.exists) {
        stamp.size = std::filesystem::file_size(path, failed);
    }
    return stamp;
}

}  // namespace vexlo::operations
