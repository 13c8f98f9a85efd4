// Writes a generated design of N components for schemora-sim: ten attributes each, values
// repeating as on a real board.
#include <cstdlib>
#include <iostream>
#include <string>

#include "simulator.h"

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::cerr << "usage: generate-design COUNT DESIGN.json PROJECT-FOLDER\n";
        return 2;
    }
    const std::size_t count = std::strtoull(argv[1], nullptr, 10);
    const std::string project = std::string(argv[3]) + "/";
    vexlo::test::writeGeneratedDesign(argv[2], count, {"big.1", project + "sch/"}, project);
    return 0;
}
