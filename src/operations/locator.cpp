#include "operations/locator.h"

#include <cstdlib>

#include "common/textfile.h"

namespace vexlo::operations {

std::string locateDataFile(const std::string& projectDirectory, const std::string& fileName,
                           const std::string& searchList,
                           const std::function<bool(const std::string&)>& exists) {
    // One path, looked up and returned: a project folder given without its "/" gets one.
    const std::string inProject =
        projectDirectory + (projectDirectory.ends_with('/') ? "" : "/") + fileName;
    if (exists(inProject)) {
        return inProject;
    }
    if (!searchList.empty()) {
        std::size_t start = 0;
        while (true) {
            const std::size_t end = searchList.find(':', start);
            const std::string folder = searchList.substr(start, end - start);
            if (exists(folder + "/" + fileName)) {
                return folder + "/" + fileName;
            }
            if (end == std::string::npos) {
                break;
            }
            start = end + 1;
        }
    }
    return inProject;
}

std::string locateDataFile(const std::string& projectDirectory, const std::string& fileName) {
    const char* searchList = std::getenv("QOSP");
    return locateDataFile(projectDirectory, fileName, searchList != nullptr ? searchList : "",
                          [](const std::string& path) { return fileExists(path); });
}

}  // namespace vexlo::operations
