#include "report/writers/writer.h"

#include "common/textfile.h"
#include "report/writers/csvwriter.h"
#include "report/writers/htmlwriter.h"
#include "report/writers/reportsink.h"
#include "report/writers/textwriter.h"
#include "report/writers/workbookreport.h"

namespace vexlo::report {

std::span<const Writer* const> writers() noexcept {
    // In the order of the formats' numbers, which the settings file keeps.
    static const Writer* const all[] = {&workbookWriter(), &textWriter(), &htmlWriter(),
                                        &csvWriter()};
    return all;
}

const Writer* writerOf(Format format) noexcept {
    const auto number = static_cast<std::size_t>(format);
    return number < writers().size() ? writers()[number] : nullptr;
}

std::string numberedFormats() {
    std::string text;
    for (std::size_t number = 0; number < writers().size(); ++number) {
        text += (number == 0 ? "" : ", ") + std::to_string(number) + " " +
                std::string(writers()[number]->name());
    }
    return text;
}

std::string formatArguments() {
    std::string text;
    const std::size_t count = writers().size();
    for (std::size_t number = 0; number < count; ++number) {
        text += number == 0 ? "" : number + 1 == count ? " or " : ", ";
        text += writers()[number]->argument();
    }
    return text;
}

void writeAtomically(const std::string& path, const std::function<void(const ReportSink&)>& write) {
    AtomicFile file(path);
    write([&file](std::string_view bytes) { file.write(bytes); });
    file.commit();
}

}  // namespace vexlo::report
