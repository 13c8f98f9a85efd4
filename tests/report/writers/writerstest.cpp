#include <gtest/gtest.h>

#include "report/writers/csvwriter.h"
#include "report/writers/htmlwriter.h"
#include "report/writers/textwriter.h"

namespace vexlo::report {
namespace {

// Large reports go to the sink in slices of a little over 1 MiB, never held whole.
TEST(Writers, PassLargeReportsInSlices) {
    Table table;
    table.columns = table.header = {"Value"};
    table.cells.assign(5000, table.keep(std::string(1000, 'v')));
    for (const Format format : {Format::Text, Format::Html, Format::Csv}) {
        std::vector<std::size_t> slices;
        const ReportSink sink = [&](std::string_view bytes) { slices.push_back(bytes.size()); };
        format == Format::Text   ? writeTextReport(table, sink)
        : format == Format::Html ? writeHtmlReport(table, ReportStyle{}, sink)
                                 : writeCsvReport(table, sink);
        EXPECT_EQ(slices.size(), format == Format::Html ? 6u : 5u);
        EXPECT_TRUE(slices[0] >= 1 << 20 && slices[0] < (1 << 20) + 1200)
            << static_cast<int>(format);
    }
}

}  // namespace
}  // namespace vexlo::report
