// A KiCad design as any editor or a broken disk may leave it, read by the design reader. The
// input holds up to five parts, each ended by a line "---": the root sheet (root.kicad_sch), two
// sheets it may use (a.kicad_sch, b.kicad_sch), the project file (root.kicad_pro, left out when
// the part is empty) and the name of a variant to apply. Error BadDesignFile is the answer to bad
// input; anything else escaping, a crash or a sanitizer report is a failure.
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "designfile/designfile.h"

namespace {

namespace fs = std::filesystem;

// The files one input is written to, the variant last.
constexpr std::array<const char*, 4> partFiles = {"root.kicad_sch", "a.kicad_sch", "b.kicad_sch",
                                                  "root.kicad_pro"};

// Where the folder goes: in memory where there is /dev/shm.
std::string baseFolder() {
    if (fs::is_directory("/dev/shm")) {
        return "/dev/shm";
    }
    const char* tmp = std::getenv("TMPDIR");
    return tmp != nullptr ? tmp : "/tmp";
}

void removeFolder();

// A folder of this process's own, made once and removed when the process ends: never destroyed
// itself, so that it is still there for the removal.
const fs::path& folder() {
    static const fs::path* const made = [] {
        std::string pattern = baseFolder() + "/vexlo-fuzz-kicad-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit(removeFolder);
        return new fs::path(pattern);
    }();
    return *made;
}

void removeFolder() {
    std::error_code ignored;
    fs::remove_all(folder(), ignored);
}

std::vector<std::string_view> partsOf(std::string_view input) {
    std::vector<std::string_view> parts;
    while (parts.size() < partFiles.size()) {
        std::size_t kept = 0;  // an empty part: the line "---" comes first
        if (!input.starts_with("---\n")) {
            const std::size_t end = input.find("\n---\n");
            if (end == std::string_view::npos) {
                break;
            }
            kept = end + 1;  // the part's last line, with its "\n"
        }
        parts.push_back(input.substr(0, kept));
        input.remove_prefix(kept + 4);
    }
    parts.push_back(input);
    parts.resize(partFiles.size() + 1);
    return parts;
}

// Writes every file of the input afresh, so that no file of an earlier input is read.
void writeFiles(const std::vector<std::string_view>& parts) {
    for (std::size_t i = 0; i < partFiles.size(); ++i) {
        const fs::path path = folder() / partFiles[i];
        if (i == 3 && parts[i].empty()) {
            std::error_code ignored;
            fs::remove(path, ignored);
            continue;
        }
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(parts[i].data(), static_cast<std::streamsize>(parts[i].size()));
    }
}

// Reads every text the design holds, so that a view into freed memory is reported.
void touch(const vexlo::designfile::LoadedDesign& design) {
    std::size_t bytes = design.project.size() + design.summary.size();
    const auto add = [&bytes](const vexlo::design::AttributeCollection& attributes) {
        for (const vexlo::design::AttributeView& attribute : attributes) {
            bytes += std::string(attribute.Name).size() + std::string(attribute.Value).size();
        }
    };
    for (const vexlo::design::Component& component : design.flattened.components) {
        bytes += std::string(component.Refdes).size();
        add(component.Attributes);
        add(component.OATList);
        add(component.Symbol.Attributes);
    }
    if (bytes == 0) {
        std::abort();  // every design has a project folder
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> parts =
        partsOf(std::string_view(reinterpret_cast<const char*>(data), size));
    writeFiles(parts);
    vexlo::designfile::ReadOptions options;
    options.variant = std::string(parts.back().substr(0, parts.back().find('\n')));
    try {
        const vexlo::designfile::LoadedDesign design =
            vexlo::designfile::readDesignFile((folder() / partFiles[0]).string(), options);
        touch(design);
    } catch (const vexlo::Error& error) {
        if (error.number != vexlo::errc::BadDesignFile) {
            throw;
        }
    }
    return 0;
}
