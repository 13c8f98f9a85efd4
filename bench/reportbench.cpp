// Time and peak memory of the compressed table and the text, HTML and CSV writers for designs
// of 1,000, 10,000 and 100,000 components with 10 columns, and of the whole workbook report
// for 100,000 components, blank and from a template, grouped and not. Each run happens in a
// fresh child process, so that its peak resident size is its own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "benchtemplate.h"
#include "common/error.h"
#include "design/faketool.h"
#include "report/compressformat.h"
#include "report/csvwriter.h"
#include "report/fillclipboard.h"
#include "report/htmlwriter.h"
#include "report/textwriter.h"

namespace {

namespace fs = std::filesystem;
using vexlo::design::makeComponent;
using Clock = std::chrono::steady_clock;

struct Result {
    double compressSeconds = 0;
    double writerSeconds = 0;
    vexlo::report::ReportTimings phases;  // the workbook report's own split
    double cpuSeconds = 0;                // user and system time of both steps
    long designKiB = 0;                   // peak resident size once the design is built
    long peakKiB = 0;                     // peak resident size at the end of the run
    long reportBytes = 0;
};

long peakResidentKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// On a machine shared with other work, CPU time says more than the wall clock.
double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Ten columns; values repeat as in a real board, so that compressing merges many rows. Every
// 50th component is a second section of the one before.
std::shared_ptr<vexlo::design::FlattenedDesign> makeDesign(int components) {
    static const char* const packages[] = {"0402", "0603", "0805", "SOT23", "SO14", "QFN32"};
    auto design = std::make_shared<vexlo::design::FlattenedDesign>();
    design->components.reserve(static_cast<std::size_t>(components));
    for (int i = 0; i < components; ++i) {
        const int part = i % 50 == 49 ? i - 1 : i;
        const std::string refdes = "R" + std::to_string(part + 1);
        const int kind = part % 700;
        const std::string value =
            kind % 3 == 0 ? std::to_string(kind * 10) : std::to_string(kind) + "k";
        design->components.push_back(
            makeComponent(refdes,
                          {{"REFDES", refdes},
                           {"Value", value},
                           {"Manufacturer", kind % 2 == 0 ? "Yageo" : "Vishay"},
                           {"Part Number", "PN-" + std::to_string(kind) + "-A"},
                           {"Description", "Resistor " + value + ", 1%"},
                           {"Tolerance", "1%"}},
                          {{"Footprint", packages[kind % 6]},
                           {"Package", packages[(kind + 1) % 6]},
                           {"Voltage", "50V"}},
                          kind % 10 == 0 ? std::vector<vexlo::design::Attribute>{{"Value", value}}
                                         : std::vector<vexlo::design::Attribute>{}));
    }
    return design;
}

vexlo::report::ReportRequest benchRequest(int compress) {
    vexlo::report::ReportRequest request;
    request.columns = {"REFDES",      "Value",     "Footprint", "Manufacturer", "Part Number",
                       "Description", "Tolerance", "Voltage",   "Package",      "QTY"};
    request.compress = compress;
    request.key = "Value";
    request.showReport = false;
    request.settings.Excel_Start = 1;
    request.settings.Header_Font_Size = 10;
    request.settings.Value_Font_Size = 10;
    return request;
}

void openDesign(vexlo::design::FakeTool& tool, const std::string& folder, int components) {
    tool.documentName = "bench.1";
    tool.documentPath = folder + "/proj/sch/";
    tool.design = makeDesign(components);
}

Result runOnce(const std::string& folder, int components, int compress, int format) {
    vexlo::design::FakeTool tool;
    openDesign(tool, folder, components);
    const vexlo::report::ReportRequest request = benchRequest(compress);

    Result result;
    result.designKiB = peakResidentKiB();
    const double cpuStart = cpuSeconds();
    const auto start = Clock::now();
    vexlo::report::CompressFormat(tool, request);
    const auto compressed = Clock::now();
    std::string report;
    switch (format) {
        case 1:
            report = vexlo::report::FillNotepad2(tool, request);
            break;
        case 2:
            report = vexlo::report::FillHtml2(tool, request);
            break;
        default:
            report = vexlo::report::FillCSV2(tool, request);
    }
    const auto written = Clock::now();
    result.cpuSeconds = cpuSeconds() - cpuStart;
    result.compressSeconds = std::chrono::duration<double>(compressed - start).count();
    result.writerSeconds = std::chrono::duration<double>(written - compressed).count();
    result.peakKiB = peakResidentKiB();
    result.reportBytes = static_cast<long>(fs::file_size(report));
    fs::remove(report);
    return result;
}

// The whole workbook report, from the test template (header in row 5, the header row bold
// and centred as a user would set it) or blank.
Result runWorkbook(const std::string& folder, int components, int compress,
                   const std::string& templatePath) {
    vexlo::design::FakeTool tool;
    openDesign(tool, folder, components);
    vexlo::report::ReportRequest request = benchRequest(compress);
    request.settings.Header_Bold = 1;
    request.settings.Align_Header = 1;
    if (!templatePath.empty()) {
        request.settings.Excel_File_Start = templatePath;
        request.settings.Excel_Start = 5;
    }
    Result result;
    request.timings = &result.phases;
    result.designKiB = peakResidentKiB();
    const double cpuStart = cpuSeconds();
    const auto start = Clock::now();
    const std::string report = vexlo::report::FillClipboard(tool, request);
    result.writerSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.cpuSeconds = cpuSeconds() - cpuStart;
    result.peakKiB = peakResidentKiB();
    result.reportBytes = static_cast<long>(fs::file_size(report));
    fs::remove(report);
    return result;
}

// Runs one measurement in a child process and reads its result back through a pipe.
bool measure(const std::function<Result()>& run, Result& result) {
    int channel[2];
    if (::pipe(channel) != 0) {
        return false;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        int status = 0;
        try {
            const Result measured = run();
            status = ::write(channel[1], &measured, sizeof measured) == sizeof measured ? 0 : 1;
        } catch (const vexlo::Error& error) {
            std::fprintf(stderr, "%s\n", vexlo::errorMessage(error).c_str());
            status = 1;
        }
        ::close(channel[1]);
        std::_Exit(status);
    }
    ::close(channel[1]);
    const bool got = child > 0 && ::read(channel[0], &result, sizeof result) == sizeof result;
    ::close(channel[0]);
    int status = 0;
    if (child > 0) {
        ::waitpid(child, &status, 0);
    }
    return got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main() {
    std::string folder = (fs::temp_directory_path() / "vexlo-report-bench-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    fs::create_directories(folder + "/proj/sch");
    const char* formatNames[] = {"", "text", "HTML", "CSV"};
    std::printf("%10s %8s %6s %12s %10s %10s %8s %11s %9s %10s\n", "components", "compress",
                "format", "compress ms", "writer ms", "total ms", "cpu ms", "report KiB",
                "peak MiB", "added MiB");
    int failures = 0;
    for (const int components : {1000, 10000, 100000}) {
        for (const int compress : {1, 0}) {
            for (const int format : {1, 2, 3}) {
                Result result;
                if (!measure([&] { return runOnce(folder, components, compress, format); },
                             result)) {
                    std::printf("%10d %8d %6s  failed\n", components, compress,
                                formatNames[format]);
                    ++failures;
                    continue;
                }
                std::printf("%10d %8s %6s %12.1f %10.1f %10.1f %8.1f %11ld %9.1f %10.1f\n",
                            components, compress == 1 ? "on" : "off", formatNames[format],
                            result.compressSeconds * 1000, result.writerSeconds * 1000,
                            (result.compressSeconds + result.writerSeconds) * 1000,
                            result.cpuSeconds * 1000, result.reportBytes / 1024,
                            result.peakKiB / 1024.0, (result.peakKiB - result.designKiB) / 1024.0);
            }
        }
    }

    const int components = 100000;
    const std::string templatePath = vexlo::bench::makeTemplate(folder);
    std::printf("\nworkbook report (format 0), %d components, 10 columns\n", components);
    std::printf("%9s %8s %9s %9s %9s %10s %8s %11s %9s %10s\n", "template", "compress", "fetch ms",
                "table ms", "write ms", "total ms", "cpu ms", "report KiB", "peak MiB",
                "added MiB");
    for (const bool fromTemplate : {false, true}) {
        for (const int compress : {1, 0}) {
            Result result;
            const std::string used = fromTemplate ? templatePath : "";
            if (!measure([&] { return runWorkbook(folder, components, compress, used); }, result)) {
                std::printf("%9s %8d  failed\n", fromTemplate ? "yes" : "no", compress);
                ++failures;
                continue;
            }
            std::printf("%9s %8s %9.1f %9.1f %9.1f %10.1f %8.1f %11ld %9.1f %10.1f\n",
                        fromTemplate ? "yes" : "no", compress == 1 ? "on" : "off",
                        result.phases.fetchSeconds * 1000, result.phases.tableSeconds * 1000,
                        result.phases.writeSeconds * 1000, result.writerSeconds * 1000,
                        result.cpuSeconds * 1000, result.reportBytes / 1024,
                        result.peakKiB / 1024.0, (result.peakKiB - result.designKiB) / 1024.0);
        }
    }
    fs::remove_all(folder);
    return failures == 0 ? 0 : 1;
}
