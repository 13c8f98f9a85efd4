#include "report/compressformat.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/error.h"
#include "design/faketool.h"
#include "testsupport.h"

namespace vexlo::report {
namespace {

namespace fs = std::filesystem;
using design::Component;
using design::makeComponent;
using test::crlf;
using test::readFile;

// A design open in the fake tool, its document in <temp>/proj/sch/.
struct Board {
    Board() {
        fs::create_directories(dir.path() + "/proj/sch");
        tool.documentName = "amp.1";
        tool.documentPath = dir.path() + "/proj/sch/";
    }

    // Every file and folder under the temporary folder, folders ending in "/".
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
            const std::string relative = fs::relative(entry.path(), dir.path()).string();
            names.push_back(entry.is_directory() ? relative + "/" : relative);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string table() const { return readFile(dir.path() + "/proj/sch/temp.csv"); }

    test::TempDir dir;
    design::FakeTool tool;
};

Component part(const std::string& refdes, const std::string& value,
               std::vector<design::Attribute> more = {}) {
    more.insert(more.begin(), {{"REFDES", refdes}, {"Value", value}});
    return makeComponent(refdes, std::move(more));
}

struct TableCase {
    const char* title;
    std::vector<Component> components;
    std::vector<std::string> columns;
    int compress;
    std::string key;
    std::vector<std::string> expected;
};

class CompressedTable : public ::testing::TestWithParam<TableCase> {};

TEST_P(CompressedTable, IsSavedAsTempCsv) {
    const TableCase& c = GetParam();
    Board board;
    board.tool.design->components = c.components;
    ReportRequest request;
    request.columns = c.columns;
    request.compress = c.compress;
    request.key = c.key;
    CompressFormat(board.tool, request);
    EXPECT_EQ(board.table(), crlf(c.expected));
    EXPECT_EQ(board.files(), (std::vector<std::string>{"proj/", "proj/sch/", "proj/sch/temp.csv"}));
}

const std::vector<std::string> usualColumns = {"REFDES", "Value", "QTY"};

INSTANTIATE_TEST_SUITE_P(
    Designs, CompressedTable,
    ::testing::Values(
        TableCase{"RunOfThreeTenAndEmptyLast",
                  {part("R1", "100"), part("R2", "100"), part("R3", ""), part("R4", "100"),
                   part("R5", "10")},
                  usualColumns,
                  1,
                  "Value",
                  {"REFDES,Value,QTY", "R5,10,1", "\"R1, R2, R4\",100,3", "R3,,1"}},
        TableCase{"CompressOffKeepsEnumerationOrder",
                  {part("R1", "100"), part("R2", "10"), part("R1", "9"), part("", "1"),
                   part("R3", "100")},
                  usualColumns,
                  0,
                  "Value",
                  {"REFDES,Value,QTY", "R1,100,1", "R2,10,1", "R3,100,1"}},
        TableCase{"CaseDifferentKeysAdjacentNotMerged",
                  {part("U1", "74HC00"), part("U2", "4011"), part("U3", "74hc00")},
                  usualColumns,
                  1,
                  "Value",
                  {"REFDES,Value,QTY", "U2,4011,1", "U1,74HC00,1", "U3,74hc00,1"}},
        TableCase{"KeyEqualToHeaderTextStaysADataRow",
                  {part("X1", "Value"), part("X2", "Value")},
                  usualColumns,
                  1,
                  "Value",
                  {"REFDES,Value,QTY", "\"X1, X2\",Value,2"}},
        TableCase{"EmptyDesignGivesHeaderOnly", {}, usualColumns, 1, "Value", {"REFDES,Value,QTY"}},
        TableCase{"TwoQuantityColumns",
                  {part("R1", "1k"), part("R2", "1k")},
                  {"REFDES", "QTY", "Value", "QTY"},
                  1,
                  "Value",
                  {"REFDES,QTY,Value,QTY", "\"R1, R2\",1,1k,2"}},
        TableCase{"EmptyKeyMergesNothing",
                  {part("R2", "1k"), part("R1", "1k"), part("R3", "")},
                  usualColumns,
                  1,
                  "",
                  {"REFDES,Value,QTY", "R2,1k,1", "R1,1k,1", "R3,,1"}},
        TableCase{"NumericSortAndNumericMerge",
                  {part("L1", "10"), part("L2", "abc"), part("L3", "9"), part("L4", "1e3"),
                   part("L5", "007"), part("L6", "7"), part("L7", "999")},
                  usualColumns,
                  1,
                  "Value",
                  {"REFDES,Value,QTY", "\"L5, L6\",007,2", "L3,9,1", "L1,10,1", "L7,999,1",
                   "L4,1e3,1", "L2,abc,1"}},
        TableCase{"QtyIsAnOrdinaryColumn",
                  {part("R1", "1k", {{"Qty", "5"}}), part("R2", "1k", {{"Qty", "7"}})},
                  {"REFDES", "Value", "Qty"},
                  1,
                  "Value",
                  {"REFDES,Value,Qty", "\"R1, R2\",1k,5"}},
        TableCase{"NoReferenceColumn",
                  {part("R1", "1k", {{"Tol", "5%"}}), part("R2", "1k", {{"Tol", "1%"}})},
                  {"Value", "Tol", "QTY"},
                  1,
                  "Value",
                  {"Value,Tol,QTY", "1k,5%,2"}},
        TableCase{
            "QuotesAndCommasInValues",
            {part("R1", "1k", {{"Note", "say \"hi\", then <go> & stop"}}),
             part("R2", "2k", {{"Note", "plain"}})},
            {"REFDES", "Note", "Value"},
            0,
            "",
            {"REFDES,Note,Value", "R1,\"say \"\"hi\"\", then <go> & stop\",1k", "R2,plain,2k"}}),
    [](const auto& info) { return info.param.title; });

TEST(CompressFormat, PathWithoutSeparatorPutsTheTableBesideTheFolder) {
    Board board;
    board.tool.documentPath = board.dir.path() + "/proj/sch";
    board.tool.design->components = {part("R1", "1k")};
    ReportRequest request;
    request.columns = usualColumns;
    CompressFormat(board.tool, request);
    EXPECT_EQ(readFile(board.dir.path() + "/proj/schtemp.csv"),
              crlf({"REFDES,Value,QTY", "R1,1k,1"}));
    EXPECT_EQ(board.files(), (std::vector<std::string>{"proj/", "proj/sch/", "proj/schtemp.csv"}));
}

TEST(CompressFormat, ReplacesOldTransientFiles) {
    Board board;
    test::writeFile(board.dir.path() + "/proj/sch/temp.csv", "old table\r\n");
    test::writeFile(board.dir.path() + "/proj/sch/attr2xl.tmp", "old\tfile\r\n");
    board.tool.design->components = {part("R1", "1k")};
    ReportRequest request;
    request.columns = usualColumns;
    CompressFormat(board.tool, request);
    EXPECT_EQ(board.table(), crlf({"REFDES,Value,QTY", "R1,1k,1"}));
    EXPECT_EQ(board.files(), (std::vector<std::string>{"proj/", "proj/sch/", "proj/sch/temp.csv"}));
}

// A tool that names its document but fails to load the design.
class FailingLoadTool final : public design::SchematicTool {
public:
    explicit FailingLoadTool(std::string path) : path_(std::move(path)) {}
    std::string CurrentProject() override { return "/"; }
    std::string ActiveViewDocumentName() override { return "amp.1"; }
    std::string ActiveDocumentPath() override { return path_; }
    std::shared_ptr<const design::FlattenedDesign> LoadGroupFlatten(const std::string&) override {
        throw Error(errc::ToolCallFailed, "LoadGroup failed");
    }

private:
    std::string path_;
};

TEST(CompressFormat, FailingToolLeavesNoFile) {
    Board board;
    test::writeFile(board.dir.path() + "/proj/sch/temp.csv", "old table\r\n");
    FailingLoadTool tool(board.dir.path() + "/proj/sch/");
    ReportRequest request;
    request.columns = usualColumns;
    EXPECT_THROW(CompressFormat(tool, request), Error);
    EXPECT_EQ(board.files(), (std::vector<std::string>{"proj/", "proj/sch/"}));
}

}  // namespace
}  // namespace vexlo::report
