#include "workbookfixture.h"

#include <sys/wait.h>
#include <zip.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace vexlo::test {

namespace fs = std::filesystem;

void writeZip(const std::string& path, const Parts& parts) {
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    for (const auto& [name, bytes] : parts) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        const zip_int64_t entry = zip_file_add(archive, name.c_str(), source, 0);
        if (entry < 0 || zip_file_set_dostime(archive, entry, 0, (21 << 9) | (2 << 5) | 3, 0)) {
            throw std::runtime_error("cannot add " + name + " to " + path);
        }
    }
    if (zip_close(archive) != 0) {
        throw std::runtime_error("cannot write zip " + path);
    }
}

Parts folderParts(const std::string& name) {
    const fs::path folder = fs::path(sourceDir()) / "tests/workbook/data/workbook" / name;
    Parts parts;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            parts.emplace_back(fs::relative(entry.path(), folder).generic_string(),
                               readFile(entry.path().string()));
        }
    }
    std::sort(parts.begin(), parts.end(), [](const auto& left, const auto& right) {
        return std::pair(left.first != "[Content_Types].xml", left.first) <
               std::pair(right.first != "[Content_Types].xml", right.first);
    });
    return parts;
}

std::string makeTemplate(const TempDir& dir, const std::string& name) {
    writeZip(dir.file(name), folderParts());
    return dir.file(name);
}

std::pair<int, std::string> runCommand(const std::string& command) {
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    std::string output;
    char buffer[4096];
    for (std::size_t got = 0; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output.append(buffer, got);
    }
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::pair<int, std::string> runChecker(const std::string& command,
                                       const std::vector<std::string>& arguments) {
    // The system interpreter carries python3-openpyxl; a python3 earlier on PATH may not.
    std::string line =
        "/usr/bin/python3 '" + sourceDir() + "/tests/workbook/workbookcheck.py' " + command;
    for (const std::string& argument : arguments) {
        line += " '" + argument + "'";  // test paths hold no quote
    }
    return runCommand(line);
}

void expectWorkbook(const std::string& path, const std::string& expectations) {
    TempDir scratch;
    writeFile(scratch.file("expected.json"), expectations);
    const auto [status, output] = runChecker("check", {path, scratch.file("expected.json")});
    EXPECT_EQ(status, 0) << output;
}

}  // namespace vexlo::test
