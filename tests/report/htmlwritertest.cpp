#include "report/htmlwriter.h"

#include <gtest/gtest.h>

namespace vexlo::report {
namespace {

TEST(HtmlTemplate, FollowsValueBoldAndItalic) {
    const std::string plainOpening = "<TD><P ALIGN='CENTER'><FONT SIZE='";
    const std::string plainClosing = "</FONT></P></TD>";
    const std::vector<std::tuple<int, int, std::string, std::string>> cases = {
        {1, 0, "<TD><B><P ALIGN='CENTER'><FONT SIZE='", "</FONT></P></B></TD>"},
        {1, 1, "<TD><B><I><P ALIGN='CENTER'><FONT SIZE='", "</FONT></P></B></I></TD>"},
        {0, 1, "<TD><I><P ALIGN='CENTER'><FONT SIZE='", "</FONT></P></I></TD>"},
        {0, 0, plainOpening, plainClosing},
        {1, 2, plainOpening, plainClosing},
        {2, 1, plainOpening, plainClosing},
        {-1, 0, plainOpening, plainClosing}};
    for (const auto& [bold, italic, opening, closing] : cases) {
        SCOPED_TRACE("bold " + std::to_string(bold) + ", italic " + std::to_string(italic));
        const HtmlCellTemplate cell = htmlCellTemplate(bold, italic);
        EXPECT_EQ(cell.opening, opening);
        EXPECT_EQ(cell.closing, closing);
    }
}

TEST(EscapeHtml, EscapesOnlyAmpersandAndAngleBrackets) {
    EXPECT_EQ(escapeHtml("a<b>&c \"d\" 'e' &amp; \xc2\xb5"),
              "a&lt;b&gt;&amp;c \"d\" 'e' &amp;amp; \xc2\xb5");
}

}  // namespace
}  // namespace vexlo::report
