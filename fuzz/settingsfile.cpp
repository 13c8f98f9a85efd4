// The settings file as any editor may leave it. Both readers run on its lines; what the
// Options window read, written by "Save", reads back as the same values; and a number the file
// holds is the value within one half of what it says.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/textfile.h"
#include "settings/settingsfile.h"

namespace {

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexlo::settings;
    const std::vector<std::string> lines =
        vexlo::splitTextLines(std::string(reinterpret_cast<const char*>(data), size));

    Settings fields;
    applySettingsLines(lines, fields);
    SettingsText values = initialWindowSettings();
    applyWindowLines(lines, values);

    const std::vector<std::string> written = settingsLines(values);
    std::string file;
    for (const auto& line : written) {
        file += line + "\r\n";
    }
    SettingsText again = initialWindowSettings();
    applyWindowLines(vexlo::splitTextLines(file), again);
    check(settingsLines(again) == written);

    for (const auto& line : lines) {
        const std::string value = line.substr(line.find('=') + 1);
        if (const auto number = settingsInteger(value)) {
            check(std::fabs(*number - std::strtod(value.c_str(), nullptr)) <= 0.5);
        }
    }
    return 0;
}
