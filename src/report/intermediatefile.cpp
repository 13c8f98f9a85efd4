#include "report/intermediatefile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string_view>
#include <unordered_set>

#include "common/textfile.h"

namespace vexlo::report {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

void appendField(std::string& line, std::string_view value) {
    const std::size_t start = line.size();
    line += value;
    for (std::size_t at = line.find_first_of("\t\r\n", start); at != std::string::npos;
         at = line.find_first_of("\t\r\n", at + 1)) {
        line[at] = ' ';
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

Row splitTabs(std::string_view line, std::size_t expectedCells) {
    Row row;
    row.reserve(expectedCells);
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

std::string readWholeFile(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        throwFileError(errno, "open", path);
    }
    std::string content;
    char buffer[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        content.append(buffer, got);
    }
    if (std::ferror(file.get()) != 0) {
        throwFileError(errno != 0 ? errno : EIO, "read", path);
    }
    return content;
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
    const std::string content = readWholeFile(path);
    Table table;
    table.rows.reserve(static_cast<std::size_t>(std::count(content.begin(), content.end(), '\n')));
    std::size_t start = 0;
    bool header = true;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string_view line(content.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (header) {
            table.header = splitTabs(line, 0);
            header = false;
        } else {
            table.rows.push_back(splitTabs(line, table.header.size()));
        }
        start = end + 1;
    }
    return table;
}

}  // namespace vexlo::report
