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
using test::crlf;
using test::readFile;
using Files = std::vector<std::string>;

const std::vector<std::string> usualColumns = {"REFDES", "Value", "QTY"};

// A design open in the fake tool, its document in <temp>/proj/sch/.
struct Board {
    Board() {
        fs::create_directories(dir.path() + "/proj/sch");
        tool.documentName = "amp.1";
        tool.documentPath = dir.path() + "/proj/sch/";
        request.columns = usualColumns;
    }

    // Every file and folder under the temporary folder, folders ending in "/".
    Files files() const { return test::listTree(dir.path()); }

    std::string sch(const std::string& name) const { return dir.path() + "/proj/sch/" + name; }

    test::TempDir dir;
    design::FakeTool tool;
    ReportRequest request;
};

Component part(const std::string& refdes, const std::string& value,
               std::vector<design::Attribute> more = {}) {
    more.insert(more.begin(), {{"REFDES", refdes}, {"Value", value}});
    return design::makeComponent(refdes, std::move(more));
}

// The table saved for the components, with the other files under the folder checked too.
void expectTable(const char* title, const std::vector<Component>& components,
                 const std::vector<std::string>& expected,
                 const std::vector<std::string>& columns = usualColumns, int compress = 1,
                 const std::string& key = "Value") {
    SCOPED_TRACE(title);
    Board board;
    board.tool.design->components = components;
    board.request.columns = columns;
    board.request.compress = compress;
    board.request.key = key;
    CompressFormat(board.tool, board.request);
    EXPECT_EQ(readFile(board.sch("temp.csv")), crlf(expected));
    EXPECT_EQ(board.files(), (Files{"proj/", "proj/sch/", "proj/sch/temp.csv"}));
}

// Runs, orders, numbers, case, quoting and a "Qty" column are checked by the golden reports.
TEST(CompressFormat, SavesTheTableAsTempCsv) {
    expectTable("empty design gives the header only", {}, {"REFDES,Value,QTY"});
    expectTable("two quantity columns", {part("R1", "1k"), part("R2", "1k")},
                {"REFDES,QTY,Value,QTY", "\"R1, R2\",1,1k,2"}, {"REFDES", "QTY", "Value", "QTY"});
    expectTable("empty key merges nothing", {part("R2", "1k"), part("R1", "1k"), part("R3", "")},
                {"REFDES,Value,QTY", "R2,1k,1", "R1,1k,1", "R3,,1"}, usualColumns, 1, "");
    expectTable("no quantity column", {part("R1", "1k"), part("R2", "1k")},
                {"REFDES,Value", "\"R1, R2\",1k"}, {"REFDES", "Value"});
    expectTable("no reference column",
                {part("R1", "1k", {{"Tol", "5%"}}), part("R2", "1k", {{"Tol", "1%"}})},
                {"Value,Tol,QTY", "1k,5%,2"}, {"Value", "Tol", "QTY"});
}

TEST(CompressFormat, ReplacesOldTransientFiles) {
    Board board;
    test::writeFile(board.sch("temp.csv"), "old table\r\n");
    test::writeFile(board.sch("attr2xl.tmp"), "old\tfile\r\n");
    board.tool.design->components = {part("R1", "1k")};
    CompressFormat(board.tool, board.request);
    EXPECT_EQ(readFile(board.sch("temp.csv")), crlf({"REFDES,Value,QTY", "R1,1k,1"}));
    EXPECT_EQ(board.files(), (Files{"proj/", "proj/sch/", "proj/sch/temp.csv"}));
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
    test::writeFile(board.sch("temp.csv"), "old table\r\n");
    FailingLoadTool tool(board.sch(""));
    EXPECT_THROW(CompressFormat(tool, board.request), Error);
    EXPECT_EQ(board.files(), (Files{"proj/", "proj/sch/"}));
}

}  // namespace
}  // namespace vexlo::report
