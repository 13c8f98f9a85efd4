#include "report/htmlwriter.h"

#include <gtest/gtest.h>

#include "testsupport.h"

namespace vexlo::report {
namespace {

struct TemplateCase {
    int bold;
    int italic;
    const char* opening;
    const char* closing;
};

class HtmlTemplate : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(HtmlTemplate, FollowsValueBoldAndItalic) {
    const TemplateCase& c = GetParam();
    const HtmlCellTemplate cell = htmlCellTemplate(c.bold, c.italic);
    EXPECT_EQ(cell.opening, c.opening);
    EXPECT_EQ(cell.closing, c.closing);
}

constexpr const char* plainOpening = "<TD><P ALIGN='CENTER'><FONT SIZE='";
constexpr const char* plainClosing = "</FONT></P></TD>";

INSTANTIATE_TEST_SUITE_P(
    Flags, HtmlTemplate,
    ::testing::Values(
        TemplateCase{1, 0, "<TD><B><P ALIGN='CENTER'><FONT SIZE='", "</FONT></P></B></TD>"},
        TemplateCase{1, 1, "<TD><B><I><P ALIGN='CENTER'><FONT SIZE='", "</FONT></P></B></I></TD>"},
        TemplateCase{0, 1, "<TD><I><P ALIGN='CENTER'><FONT SIZE='", "</FONT></P></I></TD>"},
        TemplateCase{0, 0, plainOpening, plainClosing},
        TemplateCase{1, 2, plainOpening, plainClosing},
        TemplateCase{2, 1, plainOpening, plainClosing},
        TemplateCase{-1, 0, plainOpening, plainClosing}));

TEST(EscapeHtml, EscapesOnlyAmpersandAndAngleBrackets) {
    EXPECT_EQ(escapeHtml("a<b>&c \"d\" 'e' &amp; \xc2\xb5"),
              "a&lt;b&gt;&amp;c \"d\" 'e' &amp;amp; \xc2\xb5");
}

TEST(HtmlReport, OneRowPerLineAndOneLinePerCell) {
    options::Settings settings;
    settings.Header_Font_Size = 12;
    settings.Value_Bold = 1;
    EXPECT_EQ(
        htmlReport({"REFDES,Note,", "\"R1, R2\",<b> & co"}, settings),
        test::crlf({"<HTML>", "<HEAD><TITLE></TITLE></HEAD>", "<BODY>",
                    "<TABLE BORDER CELLSPACING=1 CELLPADDING=9>", "<TR>",
                    "<TD><B><P ALIGN='CENTER'><FONT SIZE='12'>REFDES</FONT></P></B></TD>",
                    "<TD><B><P ALIGN='CENTER'><FONT SIZE='12'>Note</FONT></P></B></TD>",
                    "<TD><B><P ALIGN='CENTER'><FONT SIZE='12'>-</FONT></P></B></TD>", "</TR>",
                    "<TR>", "<TD><B><P ALIGN='CENTER'><FONT SIZE='12'>R1, R2</FONT></P></B></TD>",
                    "<TD><B><P ALIGN='CENTER'><FONT SIZE='12'>&lt;b&gt; &amp; "
                    "co</FONT></P></B></TD>",
                    "</TR>", "</TABLE>", "</BODY>", "</HTML>"}));
}

TEST(HtmlReport, NegativeFontSizeIsWrittenAsItIs) {
    options::Settings settings;
    settings.Header_Font_Size = -3;
    EXPECT_EQ(htmlReport({""}, settings),
              test::crlf({"<HTML>", "<HEAD><TITLE></TITLE></HEAD>", "<BODY>",
                          "<TABLE BORDER CELLSPACING=1 CELLPADDING=9>", "<TR>",
                          "<TD><P ALIGN='CENTER'><FONT SIZE='-3'>-</FONT></P></TD>", "</TR>",
                          "</TABLE>", "</BODY>", "</HTML>"}));
}

}  // namespace
}  // namespace vexlo::report
