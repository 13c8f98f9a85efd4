// The design reader on the golden cases of *.case: each reads a design of data/ and gives its
// dump, or its exact error.
#include <gtest/gtest.h>

#include "cases.h"
#include "designfile/designfile.h"
#include "designfile/sexpr.h"
#include "testsupport.h"

namespace vexlo::designfile {
namespace {

// Line ends, TABs and backslashes as C escapes.
std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto special = std::string_view("\n\r\t\\").find(c);
        out += special == std::string_view::npos ? std::string(1, c)
                                                 : std::string("\\") + "nrt\\"[special];
    }
    return out;
}

std::string pairs(const design::AttributeCollection& collection, const char* first,
                  const char* between) {
    std::string out;
    for (const design::AttributeView& attribute : collection) {
        out += (out.empty() ? first : between) + escaped(attribute.Name) + "=" +
               escaped(attribute.Value);
    }
    return out;
}

// The design as the cases write it: the tool's names, what was read, a line a component.
std::string dump(const LoadedDesign& design) {
    std::string out = "project " + design.project + "\n";
    // A KiCad design's names; a JSON design's as the tool would answer.
    const auto* names = design.document ? std::get_if<Document>(&*design.document) : nullptr;
    const auto tool =
        design.document ? std::optional(toolDocumentOf(*design.document)) : std::nullopt;
    out += names != nullptr ? "document " + names->designName + " " + names->outputFolder
           : tool           ? "document " + tool->name + " " + tool->path
                            : std::string("document none");
    out += "\nsummary " + design.summary + "\n";
    for (const design::Component& component : design.flattened.components) {
        out += escaped(component.Refdes) + pairs(component.Attributes, " | ", " | ") + " ||" +
               pairs(component.Symbol.Attributes, " ", " | ") + "\n";
    }
    return out;
}

// A case: the design it names read (with its variant), as it reads or as it is refused.
void readsAsTheCaseSays(const test::GoldenCase& c) {
    const std::string data = test::sourceDir() + "/tests/designfile/data";
    std::string out, err;
    try {
        out = dump(readDesignFile(data + "/" + test::key(c, "design"), {test::key(c, "variant")}));
    } catch (const Error& error) {
        EXPECT_EQ(error.number, errc::BadDesignFile);
        err = std::string(error.what()) + "\n";
    }
    test::expectOutput(c, "out", out, data);
    test::expectOutput(c, "err", err, data);
}

// Each case of the two case files as a test of SchematicCase or NetlistCase.
const bool casesRegistered = [] {
    for (const char* kind : {"schematic", "netlist"}) {
        const std::string file = "tests/designfile/" + std::string(kind) + ".case";
        test::registerCases(kind[0] == 's' ? "SchematicCase" : "NetlistCase", file,
                            test::byName(test::loadCases(file)), readsAsTheCaseSays);
    }
    return true;
}();

// The escapes the design cases leave out: a zero hex digit, octal of one and two digits, NUL, 8
// no octal digit, a final backslash; and the end of a string's text, a view into the file: the
// digits after its end are not its own.
TEST(SexprReader, EscapesReadAsKiCadReadsThem) {
    const std::string read{'\n', '\x0f', '\x01', '/', '\0', '\x01', '8', '\\'};
    EXPECT_EQ(unescapeSexpr(R"(\x0A\17\1/\0\18\)"), read);
    EXPECT_EQ(unescapeSexpr(std::string_view(R"(\123)", 3)), "\n");
    EXPECT_EQ(unescapeSexpr(std::string_view(R"(\x41)", 3)), "\x04");
}

// A value past the limit every design keeps to is refused naming the file, whatever its format.
TEST(DesignFile, AValueTooLongIsRefused) {
    const test::TempDir dir;
    const std::string path = dir.file("long.json");
    test::writeFile(path, R"({"components": [{"refdes": "R1", "attributes": [["Note", ")" +
                              std::string(design::maxValueBytes + 1, 'n') + "\"]]}]}");
    try {
        readDesignFile(path);
        ADD_FAILURE() << "read";
    } catch (const Error& error) {
        EXPECT_EQ(error.what(), path +
                                    ": The design's attribute \"Note\" holds 1048577 bytes, "
                                    "more than the 1048576 this program reads");
    }
}

// A hierarchy of `levels` files below the root, each using the next `uses` times; the last holds
// `symbols` power symbols. Returns the root's path.
std::string writeHierarchy(const test::TempDir& dir, int levels, int uses, int symbols) {
    const auto uuid = [](int prefix, int number) {
        return std::to_string(prefix) + "0000000-0000-4000-8000-" +
               std::string(12 - std::to_string(number).size(), '0') + std::to_string(number);
    };
    for (int level = 0; level <= levels; ++level) {
        std::string text =
            "(kicad_sch (version 20230121) (generator eeschema) (uuid " + uuid(1, level) + ")\n";
        for (int use = 0; level < levels && use < uses; ++use) {
            text += "(sheet (uuid " + uuid(2, level * uses + use) +
                    ") (property \"Sheetname\" \"s" + std::to_string(use) +
                    "\") (property \"Sheetfile\" \"l" + std::to_string(level + 1) +
                    ".kicad_sch\"))\n";
        }
        for (int symbol = 0; level == levels && symbol < symbols; ++symbol) {
            text += "(symbol (lib_id \"power:GND\") (uuid " + uuid(3, symbol) +
                    ") (property \"Reference\" \"#PWR" + std::to_string(symbol) + "\"))\n";
        }
        test::writeFile(dir.file("l" + std::to_string(level) + ".kicad_sch"), text + ")\n");
    }
    return dir.file("l0.kicad_sch");
}

// The bounds of a hierarchy, each at the first sheet or symbol past it: sheet instances (a sheet
// used twice on each of 17 levels), depth, and placed symbols (2,048 instances of 2,500).
TEST(DesignFile, HierarchiesPastTheirBoundsAreRefused) {
    const std::string tooMany =
        "line 3, column 1: the sheet \"s1\" (\"/s0/s1/s1/s0/s0/s0/s0/s1/s1/s0/s1/s0/s0/s1/s1/\") "
        "is one sheet instance more than the 100000 a hierarchy may hold: a sheet used more "
        "than once on each of many levels multiplies them";
    std::string deepest = "/";
    for (int level = 0; level < 100; ++level) {
        deepest += "s0/";
    }
    const std::string tooDeep = "line 2, column 1: the sheet \"s0\" (\"" + deepest +
                                "\") lies deeper than the 100 levels a hierarchy may have";
    const std::string tooLarge =
        "line 2, column 1: the sheet \"s0\" (\"/s1/s1/s1/s1/s1/s0/s1/s0/s0/s0/s0/\") places 2500 "
        "symbols, past the 5000000 placed symbols a design may hold (units, power symbols and "
        "parts left out counted)";
    for (const auto& [levels, uses, symbols, file, expected] :
         std::vector<std::tuple<int, int, int, std::string, std::string>>{
             {17, 2, 0, "l14", tooMany},
             {120, 1, 0, "l99", tooDeep},
             {11, 2, 2500, "l10", tooLarge}}) {
        const test::TempDir dir;
        try {
            readDesignFile(writeHierarchy(dir, levels, uses, symbols));
            ADD_FAILURE() << "read";
        } catch (const Error& error) {
            EXPECT_EQ(error.what(), dir.file(file + ".kicad_sch") + ": " + expected);
        }
    }
}

}  // namespace
}  // namespace vexlo::designfile
