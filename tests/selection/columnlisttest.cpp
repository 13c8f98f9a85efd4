// The column list's rules as a user works them in the main window: the six buttons, drags,
// moves, Compress and the key, and the saved selections.
#include <gtest/gtest.h>

#include "cases.h"
#include "mainwindowfixture.h"
#include "testsupport.h"

namespace vexlo {
namespace {

// Each section of the script is a test that plays the sections before it on a window opened with
// one saved selection "Later", then checks its own lines.
const bool columnListCases =
    (test::registerCases<test::WindowScript>(
         "ColumnList", "tests/selection/columnlist.txt",
         test::caseSections("tests/selection/columnlist.txt", {}),
         [](test::WindowScript& script, const test::CaseSection& section) {
             test::writeFile(script.project.file("vexloattributes.qzv"), test::crlf({"** Later"}));
             script.open();
             script.play(section.before, false, "columnlist.txt");
             script.play(section.lines, true, "columnlist.txt");
         }),
     true);

}  // namespace
}  // namespace vexlo
