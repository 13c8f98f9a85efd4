#include "report/intermediatefile.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string_view>
#include <unordered_set>

#include "common/error.h"
#include "common/textfile.h"

namespace vexlo::report {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

void appendField(std::string& line, std::string_view value) {
    for (const char c : value) {
        line += c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
    }
}

class LineWriter {
public:
    explicit LineWriter(const std::string& path) : path_(path) {
        file_.reset(std::fopen(path.c_str(), "wb"));
        if (!file_) {
            throwFileError(errno, "create", path_);
        }
        std::setvbuf(file_.get(), nullptr, _IOFBF, 1 << 20);
    }

    void put(const std::string& line) {
        if (std::fwrite(line.data(), 1, line.size(), file_.get()) != line.size()) {
            throwFileError(errno, "write", path_);
        }
    }

    void close() {
        const int failed = std::fclose(file_.release());
        if (failed != 0) {
            throwFileError(errno, "write", path_);
        }
    }

private:
    std::string path_;
    std::unique_ptr<std::FILE, FileCloser> file_;
};

Row splitTabs(std::string_view line) {
    Row row;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        const std::size_t end = tab == std::string_view::npos ? line.size() : tab;
        row.push_back(makeCell(std::string(line.substr(start, end - start))));
        if (tab == std::string_view::npos) {
            return row;
        }
        start = tab + 1;
    }
}

}  // namespace

IntermediateCounts writeIntermediateFile(const design::FlattenedDesign& design,
                                         const std::vector<std::string>& columns,
                                         const std::string& path) {
    removeFileIfExists(path);
    LineWriter writer(path);
    std::string line;
    for (std::size_t column = 0; column < columns.size(); ++column) {
        if (column > 0) {
            line += '\t';
        }
        appendField(line, columns[column]);
    }
    line += "\r\n";
    writer.put(line);

    std::vector<bool> isQuantity;
    for (const std::string& name : columns) {
        isQuantity.push_back(name == "QTY");
    }
    const auto& components = design.Components("");
    IntermediateCounts counts;
    counts.componentCount = components.size();
    counts.columnCount = columns.size();
    // Later components with a designator already written are further sections of that part.
    std::unordered_set<std::string_view> written;
    written.reserve(components.size());
    for (const design::Component& component : components) {
        if (component.Refdes.empty() || !written.insert(component.Refdes).second) {
            continue;
        }
        line.clear();
        for (std::size_t column = 0; column < columns.size(); ++column) {
            if (column > 0) {
                line += '\t';
            }
            if (isQuantity[column]) {
                line += '1';
            } else {
                appendField(line, design::attributeValue(component, columns[column]));
            }
        }
        line += "\r\n";
        writer.put(line);
        ++counts.rowCount;
    }
    writer.close();
    return counts;
}

Table importIntermediateFile(const std::string& path) {
    std::vector<std::string> lines = readTextLinesOrThrow(path);
    Table table;
    if (lines.empty()) {
        return table;
    }
    table.header = splitTabs(lines.front());
    table.rows.reserve(lines.size() - 1);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        table.rows.push_back(splitTabs(lines[i]));
        std::string().swap(lines[i]);
    }
    return table;
}

}  // namespace vexlo::report
