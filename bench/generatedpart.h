#pragma once

// The components the benchmarks generate: kinds take turns, values and part numbers repeat as on
// a real board; ten attributes each (one object attribute, eight attributes, one symbol
// attribute).
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace vexlo::bench {

using Pairs = std::vector<std::pair<std::string, std::string>>;

struct GeneratedPart {
    std::string refdes;
    Pairs oats, attributes, symbol;
};

// Component number `index`.
inline GeneratedPart generatedPart(std::size_t index) {
    static const char* const kinds[] = {"R", "C", "U", "D", "L"};
    static const char* const values[] = {"10k", "4.7k", "100nF", "1µF",  "22Ω",  "1k",
                                         "47k", "10µF", "2.2k",  "330Ω", "100k", "68pF"};
    const std::string kind = kinds[index % 5];
    const std::size_t number = index / 5 + 1;
    const std::string refdes = kind + std::to_string(number);
    const std::string value = values[number % 12];
    return {refdes,
            {{"Assembly", number % 50 == 0 ? "DNF" : "fit"}},
            {{"REFDES", refdes},
             {"Part Number", "PN-" + kind + "-" + value},
             {"Value", value},
             {"Footprint", kind == "U" ? "SOIC-8" : "0603"},
             {"Description", "Generated part, \"" + kind + "\" & <" + value + ">"},
             {"Manufacturer", number % 3 == 0 ? "Würth Elektronik" : "Yageo"},
             {"Tolerance", "±1%"},
             {"Stock Code", "00" + std::to_string(1000000 + number % 997)}},
            {{"Symbol Library", "gen:" + kind}}};
}

}  // namespace vexlo::bench
