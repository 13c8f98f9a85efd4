#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vexlo::report {

// Takes a report's bytes piece by piece, so that a large report is never held whole.
using ReportSink = std::function<void(std::string_view bytes)>;

// Hands the buffered text on once it holds a slice's worth, so writers pass few large pieces.
inline void passFullSlice(std::string& buffer, const ReportSink& sink) {
    if (buffer.size() >= (std::size_t{1} << 20)) {
        sink(buffer);
        buffer.clear();
    }
}

// A file written through a sink and replaced atomically once write returns: a failure leaves
// what the path held as it was.
void writeAtomically(const std::string& path, const std::function<void(const ReportSink&)>& write);

}  // namespace vexlo::report
