// KiCad's demo projects (Debian's kicad-demos), designs nobody here wrote: each is read, and the
// designators it yields are those of the footprints on the project's own board.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "designfile/designfile.h"
#include "designfile/sexpr.h"
#include "testsupport.h"

namespace vexlo::designfile {
namespace {

namespace fs = std::filesystem;
using Item = SexprReader::Item;
using Kind = SexprReader::Kind;

const char* const demos = "/usr/share/kicad/demos";

// The designator of one footprint, and whether the board ties it to a schematic symbol (a
// "path") and leaves it in the BOM.
struct Footprint {
    std::string reference;
    bool fromSchematic = false;
    bool inBom = true;
};

Footprint footprint(SexprReader& reader) {
    Footprint found;
    Item item;
    while (reader.next(item)) {
        if (item.kind != Kind::List) {
            continue;
        }
        if (item.raw == "path") {
            found.fromSchematic = true;
        } else if (item.raw == "attr") {
            for (Item flag; reader.next(flag);) {
                found.inBom = found.inBom && flag.raw != "exclude_from_bom";
            }
            continue;
        } else if (item.raw == "fp_text" || item.raw == "property") {
            const std::string kind = reader.nextValue("a kind");
            const std::string text = reader.nextValue("a text");
            if (kind == "reference" || kind == "Reference") {
                found.reference = text;
            }
        }
        reader.skip();
    }
    return found;
}

// The designators the board puts in a BOM: footprints placed from the schematic, not excluded.
std::set<std::string> boardDesignators(const std::string& path) {
    const std::string text = test::readFile(path);
    SexprReader reader(text, path);
    reader.top();
    std::set<std::string> designators;
    for (Item item; reader.next(item);) {
        if (item.kind != Kind::List) {
            continue;
        }
        if (item.raw != "footprint" && item.raw != "module") {
            reader.skip();
            continue;
        }
        const Footprint found = footprint(reader);
        if (found.fromSchematic && found.inBom) {
            designators.insert(found.reference);
        }
    }
    return designators;
}

std::vector<std::string> projects() {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(demos)) {
        if (entry.path().extension() == ".kicad_pro") {
            found.push_back(entry.path().string());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

TEST(KicadDemos, DesignatorsMatchTheBoards) {
    ASSERT_TRUE(fs::is_directory(demos)) << "the tests need Debian's kicad-demos installed";
    // Where the board disagrees with its schematic. KiCad's BOM follows the schematic, and so
    // does Vexlo: ecc83-pp's four mounting holes are excluded from the BOM on the board only.
    const std::map<std::string, std::set<std::string>> onlyInSchematic = {
        {"ecc83-pp", {"P5", "P6", "P7", "P8"}}};
    std::string summary;
    for (const std::string& project : projects()) {
        const std::string name = fs::path(project).stem().string();
        SCOPED_TRACE(name);
        const LoadedDesign design = readDesignFile(project);
        std::set<std::string> designators;
        for (const design::Component& component : design.flattened.components) {
            designators.emplace(component.Refdes);
        }
        // Then the files read, which the window watches, from the project's folder.
        std::string files;
        for (const std::string& file : design.files) {
            files +=
                " " + fs::path(file).lexically_relative(fs::path(project).parent_path()).string();
        }
        summary += name + ": " + std::to_string(design.flattened.components.size()) +
                   " components, " + std::to_string(designators.size()) + " designators; " +
                   design.summary + ";" + files + "\n";
        fs::path board(project);
        board.replace_extension(".kicad_pcb");
        if (!fs::exists(board)) {
            continue;
        }
        std::set<std::string> expected = boardDesignators(board.string());
        if (onlyInSchematic.contains(name)) {
            expected.insert(onlyInSchematic.at(name).begin(), onlyInSchematic.at(name).end());
        }
        EXPECT_EQ(designators, expected);
    }
    EXPECT_EQ(summary, test::readFile(test::sourceDir() + "/tests/designfile/demos.golden"));
}

}  // namespace
}  // namespace vexlo::designfile
