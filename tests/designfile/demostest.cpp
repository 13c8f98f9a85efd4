// KiCad's demo projects (Debian's kicad-demos), designs nobody here wrote: each is read, and the
// designators it yields are those of the footprints on the project's own board.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "cases.h"
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
    for (Item item; reader.next(item);) {
        if (item.kind != Kind::List) {
            continue;
        }
        if (item.raw == "attr") {
            for (Item flag; reader.next(flag);) {
                found.inBom = found.inBom && flag.raw != "exclude_from_bom";
            }
            continue;
        }
        found.fromSchematic = found.fromSchematic || item.raw == "path";
        if (item.raw == "fp_text" || item.raw == "property") {
            const std::string kind = reader.nextValue("a kind"), text = reader.nextValue("a text");
            found.reference = kind == "reference" || kind == "Reference" ? text : found.reference;
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

// A line of demos.golden, "NAME: what was read", is the case of the demo project NAME: its
// components, designators, what was read and the files, and the designators of its board.
void matchesItsBoard(const test::CaseLine& c) {
    ASSERT_TRUE(fs::is_directory(demos)) << "the tests need Debian's kicad-demos installed";
    std::string project;
    for (const auto& entry : fs::recursive_directory_iterator(demos)) {
        if (entry.path().extension() == ".kicad_pro" && entry.path().stem() == c.verb) {
            project = entry.path().string();
        }
    }
    ASSERT_NE(project, "") << "no demo project " << c.verb;
    const LoadedDesign design = readDesignFile(project);
    std::set<std::string> designators;
    for (const design::Component& component : design.flattened.components) {
        designators.emplace(component.Refdes);
    }
    // Then the files read, which the window watches, from the project's folder.
    std::string files;
    for (const std::string& file : design.files) {
        files += " " + fs::path(file).lexically_relative(fs::path(project).parent_path()).string();
    }
    EXPECT_EQ(c.verb + ": " + std::to_string(design.flattened.components.size()) + " components, " +
                  std::to_string(designators.size()) + " designators; " + design.summary + ";" +
                  files,
              c.argument);
    fs::path board(project);
    board.replace_extension(".kicad_pcb");
    if (fs::exists(board)) {
        std::set<std::string> expected = boardDesignators(board.string());
        // Where the board disagrees with its schematic. KiCad's BOM follows the schematic, and
        // so does Vexlo: ecc83-pp's four mounting holes are excluded from the BOM on the board
        // only.
        if (c.verb == "ecc83-pp") {
            expected.insert({"P5", "P6", "P7", "P8"});
        }
        EXPECT_EQ(designators, expected);
    }
}

// The golden file's lines, each under its project's name.
std::vector<std::pair<std::string, test::CaseLine>> goldenLines() {
    std::istringstream in(test::readFile(test::sourceDir() + "/tests/designfile/demos.golden"));
    std::vector<std::pair<std::string, test::CaseLine>> lines;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        const std::string name = line.substr(0, line.find(':'));
        lines.push_back({name, {++number, name, line, ""}});
    }
    return lines;
}
const bool demoCases = (test::registerCases("KicadDemo", "tests/designfile/demos.golden",
                                            goldenLines(), matchesItsBoard),
                        true);

}  // namespace
}  // namespace vexlo::designfile
