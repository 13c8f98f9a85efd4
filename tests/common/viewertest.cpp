#include "common/viewer.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "testsupport.h"

namespace vexlo {
namespace {

TEST(OpenForUser, HandsTheFileToXdgOpen) {
    test::ViewerRecorder viewer;
    EXPECT_TRUE(openForUser("/tmp/a report with blanks.html"));
    EXPECT_EQ(viewer.shown(1), std::vector<std::string>{"/tmp/a report with blanks.html"});
}

TEST(OpenForUser, NoViewerOnPathIsReported) {
    test::TempDir empty;
    const std::string oldPath = std::getenv("PATH");
    ::setenv("PATH", empty.path().c_str(), 1);
    const bool started = openForUser("/tmp/x.txt");
    ::setenv("PATH", oldPath.c_str(), 1);
    EXPECT_FALSE(started);
}

}  // namespace
}  // namespace vexlo
