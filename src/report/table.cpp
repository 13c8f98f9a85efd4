#include "report/table.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdlib>

#include "common/error.h"

namespace vexlo::report {

namespace {

bool isDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

std::size_t digitsFrom(std::string_view text, std::size_t from) noexcept {
    std::size_t end = from;
    while (end < text.size() && isDigit(text[end])) {
        ++end;
    }
    return end - from;
}

// Whether the text is wholly a decimal number as readNumber defines it.
bool isDecimalNumber(std::string_view text) noexcept {
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        ++at;
    }
    const std::size_t whole = digitsFrom(text, at);
    at += whole;
    if (at < text.size() && text[at] == '.') {
        const std::size_t fraction = digitsFrom(text, at + 1);
        if (fraction == 0) {
            return false;
        }
        at += 1 + fraction;
    } else if (whole == 0) {
        return false;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            ++at;
        }
        const std::size_t exponent = digitsFrom(text, at);
        if (exponent == 0) {
            return false;
        }
        at += exponent;
    }
    return at == text.size();
}

// strtod in the C locale: the program may run under a locale whose decimal point is a comma.
double readOutOfRange(std::string_view text) {
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", locale_t{});
    const std::string copy(text);
    return ::strtod_l(copy.c_str(), nullptr, cLocale);
}

int category(const Cell& cell) noexcept {
    if (cell.number) {
        return 0;
    }
    return cell.text.empty() ? 2 : 1;
}

unsigned char lowerAscii(char c) noexcept {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

int compareIgnoringAsciiCase(const std::string& left, const std::string& right) noexcept {
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char a = lowerAscii(left[i]);
        const unsigned char b = lowerAscii(right[i]);
        if (a != b) {
            return a < b ? -1 : 1;
        }
    }
    if (left.size() == right.size()) {
        return 0;
    }
    return left.size() < right.size() ? -1 : 1;
}

Cell& cellForWriting(Row& row, std::size_t column) {
    if (column >= row.size()) {
        row.resize(column + 1);
    }
    return row[column];
}

std::string wholeNumberText(double value) {
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

}  // namespace

std::optional<double> readNumber(std::string_view text) {
    if (!isDecimalNumber(text)) {
        return std::nullopt;
    }
    // from_chars takes no leading plus sign.
    const std::string_view digits = text.front() == '+' ? text.substr(1) : text;
    double value = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        return readOutOfRange(text);
    }
    return value;
}

Cell makeCell(std::string text) {
    Cell cell;
    cell.number = readNumber(text);
    cell.text = std::move(text);
    return cell;
}

const Cell& cellAt(const Row& row, std::size_t column) noexcept {
    static const Cell empty;
    return column < row.size() ? row[column] : empty;
}

KeyColumns scanHeader(const Row& header, std::size_t columnCount, const std::string& key) {
    KeyColumns found;
    for (std::size_t column = 0; column <= columnCount; ++column) {
        const std::string& name = cellAt(header, column).text;
        if (name == key) {
            found.key = column;
        } else if (name == "REFDES") {
            found.reference = column;
        } else if (name == "QTY") {
            found.quantity = column;
        }
    }
    return found;
}

int compareSortKeys(const Cell& left, const Cell& right) noexcept {
    const int leftCategory = category(left);
    const int rightCategory = category(right);
    if (leftCategory != rightCategory) {
        return leftCategory < rightCategory ? -1 : 1;
    }
    if (leftCategory == 0) {
        if (*left.number == *right.number) {
            return 0;
        }
        return *left.number < *right.number ? -1 : 1;
    }
    return compareIgnoringAsciiCase(left.text, right.text);
}

bool sameMergeKey(const Cell& left, const Cell& right) noexcept {
    if (left.text.empty() || right.text.empty()) {
        return false;
    }
    if (left.number && right.number) {
        return *left.number == *right.number;
    }
    if (left.number || right.number) {
        return false;
    }
    return left.text == right.text;
}

void sortRows(std::vector<Row>& rows, std::size_t keyColumn) {
    // The keys are gathered once into a compact array, text folded to lower case: comparing
    // through the rows would cost a cache miss or two per comparison.
    struct SortKey {
        int category;
        double number;
        std::string_view folded;
        std::size_t row;
    };
    std::size_t textBytes = 0;
    for (const Row& row : rows) {
        textBytes += cellAt(row, keyColumn).text.size();
    }
    std::string foldedText;
    foldedText.reserve(textBytes);
    std::vector<SortKey> keys;
    keys.reserve(rows.size());
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const Cell& cell = cellAt(rows[index], keyColumn);
        SortKey key{category(cell), cell.number.value_or(0), {}, index};
        if (key.category == 1) {
            const std::size_t start = foldedText.size();
            for (const char c : cell.text) {
                foldedText += static_cast<char>(lowerAscii(c));
            }
            key.folded = std::string_view(foldedText).substr(start);
        }
        keys.push_back(key);
    }
    std::stable_sort(keys.begin(), keys.end(), [](const SortKey& left, const SortKey& right) {
        if (left.category != right.category) {
            return left.category < right.category;
        }
        return left.category == 0 ? left.number < right.number : left.folded < right.folded;
    });
    std::vector<Row> sorted;
    sorted.reserve(rows.size());
    for (const SortKey& key : keys) {
        sorted.push_back(std::move(rows[key.row]));
    }
    rows.swap(sorted);
}

std::vector<Row> mergeRows(std::vector<Row> rows, const KeyColumns& columns) {
    if (!columns.key) {
        return rows;
    }
    const std::size_t key = *columns.key;
    std::vector<Row> merged;
    merged.reserve(rows.size());
    double quantity = 0;
    bool runMerged = false;
    // The quantity cell is rewritten once per run, when the run ends.
    const auto endRun = [&]() {
        if (runMerged && columns.quantity) {
            Cell& cell = cellForWriting(merged.back(), *columns.quantity);
            cell.text = wholeNumberText(quantity);
            cell.number = quantity;
        }
    };
    for (Row& row : rows) {
        if (!merged.empty() && sameMergeKey(cellAt(merged.back(), key), cellAt(row, key))) {
            if (columns.reference) {
                Cell& reference = cellForWriting(merged.back(), *columns.reference);
                reference.text += ", ";
                reference.text += cellAt(row, *columns.reference).text;
                reference.number.reset();
            }
            if (columns.quantity) {
                quantity += cellAt(row, *columns.quantity).number.value_or(0);
            }
            runMerged = true;
            continue;
        }
        endRun();
        quantity = columns.quantity ? cellAt(row, *columns.quantity).number.value_or(0) : 0;
        runMerged = false;
        merged.push_back(std::move(row));
    }
    endRun();
    return merged;
}

void compressRows(Table& table, std::size_t columnCount, const std::string& key) {
    const KeyColumns columns = scanHeader(table.header, columnCount, key);
    if (!columns.key) {
        throw Error(errc::KeyNotInColumns, "Cannot compress the report by the key \"" + key +
                                               "\": no report column has that name");
    }
    sortRows(table.rows, *columns.key);
    table.rows = mergeRows(std::move(table.rows), columns);
}

}  // namespace vexlo::report
