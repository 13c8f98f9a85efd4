// Writes a generated design of N components for schemora-sim: ten attributes each, values
// repeating as on a real board. The file is written in pieces, never held whole.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "generatedpart.h"
#include "quotedtext.h"

namespace {

using vexlo::bench::quoted;

using vexlo::bench::Pairs;

void appendPairs(std::string& out, const char* key, const Pairs& pairs) {
    out += std::string(",\n      \"") + key + "\": [";
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        out +=
            (i == 0 ? "[" : ", [") + quoted(pairs[i].first) + ", " + quoted(pairs[i].second) + ']';
    }
    out += ']';
}

// Component number `index` as JSON.
void appendComponent(std::string& out, std::size_t index) {
    const vexlo::bench::GeneratedPart part = vexlo::bench::generatedPart(index);
    out += "    {\"refdes\": " + quoted(part.refdes);
    appendPairs(out, "oats", part.oats);
    appendPairs(out, "attributes", part.attributes);
    appendPairs(out, "symbol", part.symbol);
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
