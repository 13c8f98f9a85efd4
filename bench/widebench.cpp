// Times the table of a wide design: COMPONENTS components (2 unless given) of ATTRIBUTES
// attributes each (100,000 unless given), every attribute name a column, as a report takes it:
// read from the tool's stream, the columns no component carries, the table, the CSV. Prints
// seconds per phase and peak memory.
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "dbus/flatstream.h"
#include "report/table/designtable.h"
#include "report/writers/csvwriter.h"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

std::string attributeName(std::size_t index) {
    return "Attribute " + std::to_string(index);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc > 3) {
        std::cerr << "usage: wide_bench [ATTRIBUTES [COMPONENTS]]\n";
        return 2;
    }
    const std::size_t attributes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000;
    const std::size_t components = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 2;
    std::vector<std::string> columns;
    for (std::size_t index = 0; index < attributes; ++index) {
        columns.push_back(attributeName(index));
    }
    vexlo::dbus::FlatStreamWriter writer;
    for (std::size_t component = 0; component < components; ++component) {
        std::vector<vexlo::design::Attribute> pairs;
        for (std::size_t index = 0; index < attributes; ++index) {
            pairs.push_back(
                {columns[index], std::to_string(component) + "-" + std::to_string(index)});
        }
        writer.addComponent("R" + std::to_string(component + 1), {}, pairs, {});
    }
    const std::string stream = writer.finish();
    try {
        auto start = Clock::now();
        const vexlo::design::FlattenedDesign design = vexlo::dbus::readFlatStream(stream);
        const double read = since(start);
        start = Clock::now();
        const std::size_t missing =
            vexlo::report::columnsNoComponentCarries(design, columns).size();
        const double check = since(start);
        start = Clock::now();
        const vexlo::report::Table table = vexlo::report::buildTable(design, columns);
        const double build = since(start);
        start = Clock::now();
        std::size_t bytes = 0;
        vexlo::report::writeCsvReport(table,
                                      [&bytes](std::string_view slice) { bytes += slice.size(); });
        const double write = since(start);
        std::cout << components << " components of " << attributes
                  << " attributes, every name a column: read " << read
                  << " s, columns no component carries " << check << " s (" << missing
                  << " of them), table " << build << " s, CSV " << write << " s (" << bytes
                  << " bytes), total " << read + check + build + write << " s (target 1 s), peak "
                  << peakMegabytes() << " MB\n";
    } catch (const std::exception& failure) {
        std::cerr << "wide_bench: " << failure.what() << '\n';
        return 1;
    }
    return 0;
}
