#include "report/intermediatefile.h"

#include <gtest/gtest.h>

#include "common/error.h"
#include "design/faketool.h"
#include "testsupport.h"

namespace vexlo::report {
namespace {

using design::makeComponent;
using test::crlf;
using test::readFile;

design::FlattenedDesign edgeDesign() {
    design::FlattenedDesign design;
    design.components = {
        makeComponent("R1", {{"Value", "10k"}, {"Qty", "4"}}, {{"Footprint", "0603"}}),
        makeComponent("", {{"Value", "ghost"}}),
        makeComponent("R2", {{"Value", "shadowed"}}, {{"Footprint", "0805"}}, {{"Value", "1k"}}),
        makeComponent("R1", {{"Value", "second section"}}),
        makeComponent("C1", {{"Value", "47n"}}, {{"Value", "sym"}}, {{"Value", ""}}),
        makeComponent("U1", {{"Value", "a\tb\rc\nd"}, {"Footprint", "SO14"}}),
        makeComponent("r1", {}),
    };
    return design;
}

TEST(IntermediateFile, WritesOneLinePerDistinctDesignator) {
    test::TempDir dir;
    const std::string path = dir.file("attr2xl.tmp");
    const IntermediateCounts counts =
        writeIntermediateFile(edgeDesign(), {"Value", "Footprint", "Qty", "QTY", "Tol"}, path);
    EXPECT_EQ(readFile(path),
              crlf({"Value\tFootprint\tQty\tQTY\tTol", "10k\t0603\t4\t1\t", "1k\t0805\t\t1\t",
                    "\t\t\t1\t", "a b c d\tSO14\t\t1\t", "\t\t\t1\t"}));
    EXPECT_EQ(counts.componentCount, 7u);
    EXPECT_EQ(counts.columnCount, 5u);
    EXPECT_EQ(counts.rowCount, 5u);
}

TEST(IntermediateFile, NamesWithControlCharactersKeepTheColumnCount) {
    test::TempDir dir;
    const std::string path = dir.file("attr2xl.tmp");
    design::FlattenedDesign design;
    design.components = {makeComponent("R1", {{"Odd\tName", "v"}})};
    writeIntermediateFile(design, {"Odd\tName", "QTY"}, path);
    EXPECT_EQ(readFile(path), crlf({"Odd Name\tQTY", "v\t1"}));
}

TEST(IntermediateFile, NoColumnsGiveEmptyLines) {
    test::TempDir dir;
    const std::string path = dir.file("attr2xl.tmp");
    const IntermediateCounts counts = writeIntermediateFile(edgeDesign(), {}, path);
    EXPECT_EQ(readFile(path), crlf({"", "", "", "", "", ""}));
    EXPECT_EQ(counts.rowCount, 5u);
}

TEST(IntermediateFile, MissingFolderFails) {
    test::TempDir dir;
    const std::string path = dir.file("gone/attr2xl.tmp");
    try {
        writeIntermediateFile(edgeDesign(), {"Value"}, path);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.number, errc::FileNotFound);
        EXPECT_EQ(error.description, "Cannot create \"" + path + "\": No such file or directory");
    }
    EXPECT_TRUE(dir.listing().empty());
}

TEST(IntermediateFile, ImportSplitsFieldsAndReadsNumbers) {
    test::TempDir dir;
    const std::string path = dir.file("attr2xl.tmp");
    test::writeFile(path, crlf({"REFDES\tValue\tQTY", "R1\t007\t1", "\t\t", "R2\t1e3 \t1"}));
    const Table table = importIntermediateFile(path);
    ASSERT_EQ(table.header.size(), 3u);
    EXPECT_EQ(table.header[1].text, "Value");
    ASSERT_EQ(table.rows.size(), 3u);
    EXPECT_EQ(table.rows[0][1].text, "007");
    EXPECT_EQ(table.rows[0][1].number, 7.0);
    EXPECT_EQ(table.rows[0][2].number, 1.0);
    EXPECT_FALSE(table.rows[0][0].number);
    ASSERT_EQ(table.rows[1].size(), 3u);
    EXPECT_EQ(table.rows[1][2].text, "");
    EXPECT_FALSE(table.rows[1][2].number);
    EXPECT_EQ(table.rows[2][1].text, "1e3 ");
    EXPECT_FALSE(table.rows[2][1].number);
}

}  // namespace
}  // namespace vexlo::report
