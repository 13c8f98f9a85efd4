#include "operations/locator.h"

#include <gtest/gtest.h>

#include <set>

#include "testsupport.h"

namespace vexlo::operations {
namespace {

struct LocatorCase {
    const char* title;
    std::string searchList;
    std::set<std::string> existing;
    std::string expected;
};

class Locator : public ::testing::TestWithParam<LocatorCase> {};

TEST_P(Locator, FindsTheDataFile) {
    const LocatorCase& c = GetParam();
    std::vector<std::string> asked;
    const auto exists = [&](const std::string& path) {
        asked.push_back(path);
        return c.existing.count(path) != 0;
    };
    EXPECT_EQ(locateDataFile("/proj/", "vexlosettings.qzv", c.searchList, exists), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Locator,
    ::testing::Values(
        LocatorCase{"NoSearchListFoundNowhere", "", {}, "/proj/vexlosettings.qzv"},
        LocatorCase{"ProjectFolderWins",
                    "/shared:/team",
                    {"/proj//vexlosettings.qzv", "/team/vexlosettings.qzv"},
                    "/proj/vexlosettings.qzv"},
        LocatorCase{"OnlyInSearchList",
                    "/shared:/team",
                    {"/team/vexlosettings.qzv"},
                    "/team/vexlosettings.qzv"},
        LocatorCase{"FirstMatchingEntryWins",
                    "/a:/b:/c",
                    {"/b/vexlosettings.qzv", "/c/vexlosettings.qzv"},
                    "/b/vexlosettings.qzv"},
        LocatorCase{"FoundNowhereGivesProjectPath", "/a:/b", {}, "/proj/vexlosettings.qzv"},
        LocatorCase{"EmptyEntryIsTheRoot", "/a::/c", {"/vexlosettings.qzv"}, "/vexlosettings.qzv"},
        LocatorCase{
            "TrailingSeparatorIsAnEmptyEntry", "/a:", {"/vexlosettings.qzv"}, "/vexlosettings.qzv"},
        LocatorCase{"BlanksAreKept",
                    " /shared",
                    {" /shared/vexlosettings.qzv"},
                    " /shared/vexlosettings.qzv"},
        LocatorCase{"BlankEntryDoesNotMatchTrimmedFolder",
                    " /shared",
                    {"/shared/vexlosettings.qzv"},
                    "/proj/vexlosettings.qzv"}),
    [](const auto& info) { return std::string(info.param.title); });

TEST(LocatorSearchList, UsesTheProjectAndQosp) {
    test::TempDir project;
    test::TempDir shared;
    test::writeFile(shared.file("vexloattributes.qzv"), "** A\r\n");
    const std::string folder = project.path() + "/";
    ::setenv("QOSP", ("/nonexistent:" + shared.path()).c_str(), 1);
    EXPECT_EQ(locateDataFile(folder, "vexloattributes.qzv"), shared.file("vexloattributes.qzv"));
    EXPECT_EQ(locateDataFile(folder, "vexlosettings.qzv"), project.path() + "/vexlosettings.qzv");
    test::writeFile(project.file("vexloattributes.qzv"), "** B\r\n");
    EXPECT_EQ(locateDataFile(folder, "vexloattributes.qzv"),
              project.path() + "/vexloattributes.qzv");
    ::unsetenv("QOSP");
}

}  // namespace
}  // namespace vexlo::operations
