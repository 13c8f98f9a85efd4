#include "report/transientfiles.h"

#include <unistd.h>

#include <algorithm>

#include "common/textfile.h"

namespace vexlo::report {

TransientFiles::~TransientFiles() {
    // The run is failing or done; a file that cannot be deleted now has no one to tell.
    for (const std::string& path : paths_) {
        ::unlink(path.c_str());
    }
}

void TransientFiles::keep(const std::string& path) {
    paths_.erase(std::remove(paths_.begin(), paths_.end(), path), paths_.end());
}

void TransientFiles::remove(const std::string& path) {
    removeFileIfExists(path);
    keep(path);
}

}  // namespace vexlo::report
