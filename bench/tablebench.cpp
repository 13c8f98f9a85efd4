// Times a report's stages in process on COUNT components (1,000,000 unless given) of the
// end-to-end benchmark's kind (ten attributes, values repeating): the design read from the
// tool's stream, the table, compressing it by the keys given ("Stock Code" unless given), the
// CSV. Prints seconds and bytes a component per stage, and peak memory, so that a stage that
// holds the whole back is seen.
//
//   table_bench [COUNT [KEY ...]]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "dbus/flatstream.h"
#include "generatedpart.h"
#include "report/table/designtable.h"
#include "report/writers/csvwriter.h"

namespace {

using Clock = std::chrono::steady_clock;
using vexlo::design::Attribute;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The memory in use now, which the peak hides.
double residentMegabytes() {
    long pages = 0;
    long resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1e6;
}

long peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Component number `index`, as bench/generatedesign.cpp writes it for the simulator.
void addComponent(vexlo::dbus::FlatStreamWriter& writer, std::size_t index) {
    const vexlo::bench::GeneratedPart part = vexlo::bench::generatedPart(index);
    const auto attributes = [](const vexlo::bench::Pairs& pairs) {
        std::vector<Attribute> made;
        for (const auto& [name, value] : pairs) {
            made.push_back({name, value});
        }
        return made;
    };
    writer.addComponent(part.refdes, attributes(part.oats), attributes(part.attributes),
                        attributes(part.symbol));
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::size_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    std::vector<std::string> keys(argv + std::min(argc, 2), argv + argc);
    if (count == 0) {
        std::cerr << "usage: table_bench [COUNT [KEY ...]]\n";
        return 2;
    }
    if (keys.empty()) {
        keys.emplace_back("Stock Code");
    }
    const std::vector<std::string> columns = {
        "REFDES",    "Part Number", "Value",          "Footprint", "Description", "Manufacturer",
        "Tolerance", "Stock Code",  "Symbol Library", "Assembly",  "QTY"};
    // The stream as the tool hands it over: bytes the design keeps alive and views.
    std::shared_ptr<const std::string> stream;
    {
        vexlo::dbus::FlatStreamWriter writer;
        for (std::size_t index = 0; index < count; ++index) {
            addComponent(writer, index);
        }
        stream = std::make_shared<const std::string>(writer.finish());
    }
    const double before = residentMegabytes();
    try {
        auto start = Clock::now();
        const vexlo::design::FlattenedDesign design = vexlo::dbus::readFlatStream(*stream, stream);
        const double read = since(start);
        const double designBytes =
            (residentMegabytes() - before) * 1e6 / static_cast<double>(count);
        start = Clock::now();
        vexlo::report::TableRules rules;
        rules.designators = true;  // as a compressed report keeps them, to name mixed rows
        vexlo::report::Table table = vexlo::report::buildTable(design, columns, rules);
        const double build = since(start);
        start = Clock::now();
        const vexlo::report::Grouping grouping = vexlo::report::compressTable(table, keys);
        const double compress = since(start);
        start = Clock::now();
        std::size_t bytes = 0;
        vexlo::report::writeCsvReport(table,
                                      [&bytes](std::string_view slice) { bytes += slice.size(); });
        const double write = since(start);
        const double perComponent = 1e6 / static_cast<double>(count);
        std::cout << count << " components, stream " << stream->size() / count
                  << " bytes a component, design " << designBytes
                  << " bytes a component beside it: read " << read << " s, table " << build
                  << " s, compress " << compress << " s, CSV " << write << " s (" << bytes
                  << " bytes, " << table.rowCount() << " rows, " << grouping.mixed.size()
                  << " of them mixed); " << (read + build + compress + write) * perComponent
                  << " µs a component; peak " << peakMegabytes() << " MB\n";
    } catch (const std::exception& failure) {
        std::cerr << "table_bench: " << failure.what() << '\n';
        return 1;
    }
    return 0;
}
