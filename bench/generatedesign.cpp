// Writes a generated design of N components for schemora-sim: ten attributes each, values
// repeating as on a real board. The file is written in pieces, never held whole.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "quotedtext.h"

namespace {

using vexlo::bench::quoted;

using Pairs = std::vector<std::pair<std::string, std::string>>;

void appendPairs(std::string& out, const char* key, const Pairs& pairs) {
    out += std::string(",\n      \"") + key + "\": [";
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        out +=
            (i == 0 ? "[" : ", [") + quoted(pairs[i].first) + ", " + quoted(pairs[i].second) + ']';
    }
    out += ']';
}

// Component number `index`: kinds take turns, values and part numbers repeat.
void appendComponent(std::string& out, std::size_t index) {
    static const char* const kinds[] = {"R", "C", "U", "D", "L"};
    static const char* const values[] = {"10k", "4.7k", "100nF", "1µF",  "22Ω",  "1k",
                                         "47k", "10µF", "2.2k",  "330Ω", "100k", "68pF"};
    const std::string kind = kinds[index % 5];
    const std::size_t number = index / 5 + 1;
    const std::string refdes = kind + std::to_string(number);
    const std::string value = values[number % 12];
    out += "    {\"refdes\": " + quoted(refdes);
    appendPairs(out, "oats", {{"Assembly", number % 50 == 0 ? "DNF" : "fit"}});
    appendPairs(out, "attributes",
                {{"REFDES", refdes},
                 {"Part Number", "PN-" + kind + "-" + value},
                 {"Value", value},
                 {"Footprint", kind == "U" ? "SOIC-8" : "0603"},
                 {"Description", "Generated part, \"" + kind + "\" & <" + value + ">"},
                 {"Manufacturer", number % 3 == 0 ? "Würth Elektronik" : "Yageo"},
                 {"Tolerance", "±1%"},
                 {"Stock Code", "00" + std::to_string(1000000 + number % 997)}});
    appendPairs(out, "symbol", {{"Symbol Library", "gen:" + kind}});
    out += '}';
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::cerr << "usage: generate-design COUNT DESIGN.json PROJECT-FOLDER\n";
        return 2;
    }
    const std::size_t count = std::strtoull(argv[1], nullptr, 10);
    const std::string project = std::string(argv[3]) + "/";
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    std::string chunk = "{\n  \"project\": " + quoted(project) +
                        ",\n  \"document\": {\"name\": " + quoted("big.1") +
                        ", \"path\": " + quoted(project + "sch/") + "},\n  \"components\": [\n";
    for (std::size_t i = 0; i < count; ++i) {
        appendComponent(chunk, i);
        chunk += i + 1 < count ? ",\n" : "\n";
        if (chunk.size() > (1 << 20)) {
            file << chunk;
            chunk.clear();
        }
    }
    file << chunk << "  ]\n}\n";
    if (!file.flush()) {
        std::cerr << "generate-design: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
