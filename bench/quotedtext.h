#pragma once

#include <string>
#include <string_view>

namespace vexlo::bench {

// A text in double quotes with '"' and '\' escaped, as JSON and KiCad's S-expressions both
// write it; the generated texts hold no control characters.
inline std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + '"';
}

}  // namespace vexlo::bench
