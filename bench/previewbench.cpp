// Times the Preview window on a design read from its file: the table as the report would hold
// it, then the window made, shown and painted once, for the columns of a parts list, compressed
// by part number and not. The design's fetch is timed apart, since the window fetches it before
// the preview opens. Prints seconds per phase, best of RUNS (3 unless given), and peak memory.
#include <sys/resource.h>

#include <QApplication>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>

#include "designfile/designfile.h"
#include "designfile/filetool.h"
#include "operations/operations.h"
#include "preview/previewwindow.h"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Figures {
    double table = 0;
    double window = 0;
    std::size_t rows = 0;
};

Figures openPreview(vexlo::operations::Session& session, bool compress) {
    vexlo::report::ReportRequest request;
    request.columns = {"REFDES", "Part Number", "Value", "Footprint", "Description"};
    request.options.format = vexlo::report::Format::Csv;
    request.options.order = vexlo::report::RefdesOrder::Ranges;
    if (compress) {
        request.columns.emplace_back("QTY");
        request.compress = true;
        request.keys = {"Part Number"};
    }
    Figures figures;
    auto start = Clock::now();
    auto preview = std::make_shared<const vexlo::operations::Preview>(
        vexlo::operations::previewReport(session, request));
    figures.table = since(start);
    figures.rows = preview->table.rowCount();
    start = Clock::now();
    vexlo::preview::PreviewWindow window(preview, QStringLiteral("CSV"), [] { return QString(); });
    window.show();
    window.tblReport->viewport()->repaint();
    QApplication::processEvents();
    figures.window = since(start);
    return figures;
}

long peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: preview_bench DESIGN [RUNS]\n";
        return 2;
    }
    const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 3;
    try {
        auto start = Clock::now();
        vexlo::designfile::DesignFileTool tool(vexlo::designfile::readDesignFile(argv[1]));
        vexlo::operations::Session session(tool);
        const std::size_t components = session.design()->components.size();
        std::cout << "read and fetch: " << since(start) << " s, " << components
                  << " components, peak " << peakMegabytes() << " MB\n";
        for (const bool compress : {false, true}) {
            Figures best{1e9, 1e9, 0};
            for (int run = 0; run < runs; ++run) {
                const Figures figures = openPreview(session, compress);
                best.table = std::min(best.table, figures.table);
                best.window = std::min(best.window, figures.window);
                best.rows = figures.rows;
            }
            std::cout << (compress ? "compressed" : "one row a part") << ": table " << best.table
                      << " s, window " << best.window << " s, open " << best.table + best.window
                      << " s (target well under 1 s), " << best.rows << " rows\n";
        }
    } catch (const std::exception& failure) {
        std::cerr << "preview_bench: " << failure.what() << '\n';
        return 1;
    }
    std::cout << "peak: " << peakMegabytes() << " MB\n";
    return 0;
}
