// Reads a KiCad design with the design reader RUNS times (3 unless given) and prints the
// seconds of each read, the best, the components read and the peak memory of the process.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "designfile/designfile.h"

namespace {

double secondsToRead(const std::string& path, std::size_t& components, std::string& summary) {
    const auto start = std::chrono::steady_clock::now();
    const vexlo::designfile::LoadedDesign design = vexlo::designfile::readDesignFile(path);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    components = design.flattened.components.size();
    summary = design.summary;
    return elapsed.count();
}

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: kicad_read_bench DESIGN.kicad_pro [RUNS]\n";
        return 2;
    }
    const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 3;
    std::vector<double> seconds;
    std::size_t components = 0;
    std::string summary;
    try {
        for (int run = 0; run < runs; ++run) {
            seconds.push_back(secondsToRead(argv[1], components, summary));
        }
    } catch (const vexlo::Error& error) {
        std::cerr << "kicad_read_bench: " << error.what() << '\n';
        return 1;
    }
    std::cout << "read:";
    for (const double s : seconds) {
        std::cout << ' ' << s << " s";
    }
    std::cout << "\nbest: " << *std::min_element(seconds.begin(), seconds.end()) << " s, "
              << components << " components, " << summary << "\npeak: " << peakKilobytes()
              << " KB\n";
    return 0;
}
