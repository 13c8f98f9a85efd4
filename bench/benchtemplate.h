#pragma once

// The test template's parts, zipped into a workbook file for the benchmarks.
#include <zip.h>

#include <filesystem>
#include <string>

namespace vexlo::bench {

inline std::string makeTemplate(const std::string& folder) {
    namespace fs = std::filesystem;
    const std::string path = folder + "/template.xlsx";
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    const fs::path parts(VEXLO_WORKBOOK_TEMPLATE_DIR);
    for (const auto& entry : fs::recursive_directory_iterator(parts)) {
        if (entry.is_regular_file()) {
            const std::string name = fs::relative(entry.path(), parts).generic_string();
            zip_file_add(archive, name.c_str(),
                         zip_source_file(archive, entry.path().c_str(), 0, -1), 0);
        }
    }
    zip_close(archive);
    return path;
}

}  // namespace vexlo::bench
