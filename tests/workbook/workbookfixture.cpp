#include "workbookfixture.h"

#include <sys/wait.h>
#include <zip.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <tuple>

namespace vexlo::test {

namespace fs = std::filesystem;

ZipContent readZip(const std::string& path) {
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (archive == nullptr) {
        throw std::runtime_error("cannot open zip " + path + " (" + std::to_string(code) + ")");
    }
    ZipContent content;
    const zip_int64_t entries = zip_get_num_entries(archive, 0);
    for (zip_int64_t entry = 0; entry < entries; ++entry) {
        zip_stat_t info;
        zip_stat_index(archive, entry, 0, &info);
        std::string bytes(info.size, '\0');
        zip_file_t* file = zip_fopen_index(archive, entry, 0);
        const zip_int64_t got = file != nullptr ? zip_fread(file, bytes.data(), bytes.size()) : -1;
        if (file == nullptr || got != static_cast<zip_int64_t>(bytes.size()) ||
            zip_fclose(file) != 0) {
            zip_discard(archive);
            throw std::runtime_error("cannot read " + std::string(info.name) + " in " + path);
        }
        content.names.push_back(info.name);
        content.parts[info.name] = std::move(bytes);
    }
    zip_discard(archive);
    return content;
}

void writeZip(const std::string& path, const Parts& parts, bool stored) {
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (archive == nullptr) {
        throw std::runtime_error("cannot create zip " + path);
    }
    for (const auto& [name, bytes] : parts) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        const zip_int64_t entry =
            source != nullptr ? zip_file_add(archive, name.c_str(), source, 0) : -1;
        if (entry < 0) {
            zip_discard(archive);
            throw std::runtime_error("cannot add " + name + " to " + path);
        }
        if (stored) {
            zip_set_file_compression(archive, entry, ZIP_CM_STORE, 0);
        }
    }
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        throw std::runtime_error("cannot write zip " + path);
    }
}

void declareSize(const std::string& path, const std::string& part, std::uint32_t size) {
    std::string bytes = readFile(path);
    // The size is in the part's local header (size at 22, name length at 26, name at 30) and
    // in its central directory entry (24, 28, 46).
    int patched = 0;
    for (const auto& [signature, sizeAt, lengthAt, nameAt] :
         {std::tuple{std::string("PK\x03\x04"), 22, 26, 30},
          {std::string("PK\x01\x02"), 24, 28, 46}}) {
        for (auto at = bytes.find(signature); at != std::string::npos;
             at = bytes.find(signature, at + 1)) {
            const std::size_t nameLength = static_cast<unsigned char>(bytes[at + lengthAt]) |
                                           static_cast<unsigned char>(bytes[at + lengthAt + 1])
                                               << 8;
            if (nameLength == part.size() && bytes.compare(at + nameAt, part.size(), part) == 0) {
                for (int byte = 0; byte < 4; ++byte) {
                    bytes[at + sizeAt + byte] = static_cast<char>(size >> (8 * byte));
                }
                ++patched;
                break;
            }
        }
    }
    if (patched != 2) {
        throw std::runtime_error("no part " + part + " in " + path);
    }
    writeFile(path, bytes);
}

Parts templateParts() {
    const fs::path folder = fs::path(sourceDir()) / "tests/workbook/data/workbook/template";
    Parts parts;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            parts.emplace_back(fs::relative(entry.path(), folder).generic_string(),
                               readFile(entry.path().string()));
        }
    }
    // Content types first, as spreadsheet applications write it; the rest in name order.
    std::sort(parts.begin(), parts.end(), [](const auto& left, const auto& right) {
        const bool leftTypes = left.first == "[Content_Types].xml";
        const bool rightTypes = right.first == "[Content_Types].xml";
        return leftTypes != rightTypes ? leftTypes : left.first < right.first;
    });
    return parts;
}

Parts withPart(Parts parts, const std::string& name, const std::string& bytes) {
    const auto found = std::find_if(parts.begin(), parts.end(),
                                    [&](const auto& part) { return part.first == name; });
    if (bytes.empty()) {
        if (found != parts.end()) {
            parts.erase(found);
        }
    } else if (found != parts.end()) {
        found->second = bytes;
    } else {
        parts.emplace_back(name, bytes);
    }
    return parts;
}

std::string makeTemplate(const TempDir& dir, const std::string& name) {
    const std::string path = dir.file(name);
    writeZip(path, templateParts());
    return path;
}

std::string pythonWithOpenpyxl() {
    // The system interpreter carries the Debian package; a python3 earlier on PATH may not.
    for (const std::string candidate : {"/usr/bin/python3", "python3"}) {
        if (runCommand(candidate + " -c 'import openpyxl'").first == 0) {
            return candidate;
        }
    }
    return "";
}

std::string checkerScript() {
    return sourceDir() + "/tests/workbook/workbookcheck.py";
}

std::pair<int, std::string> runChecker(const std::string& command,
                                       const std::vector<std::string>& arguments) {
    static const std::string python = pythonWithOpenpyxl();
    if (python.empty()) {
        return {-1, "python3 with openpyxl (python3-openpyxl) is needed"};
    }
    std::string line = python + " " + shellQuote(checkerScript()) + " " + command;
    for (const std::string& argument : arguments) {
        line += " " + shellQuote(argument);
    }
    return runCommand(line);
}

void expectWorkbook(const std::string& path, const std::string& expectations) {
    TempDir scratch;
    writeFile(scratch.file("expected.json"), expectations);
    const auto [status, output] = runChecker("check", {path, scratch.file("expected.json")});
    EXPECT_EQ(status, 0) << output;
}

std::pair<int, std::string> runCommand(const std::string& command) {
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return {-1, "popen failed"};
    }
    std::string output;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, got);
    }
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

}  // namespace vexlo::test
