#include "report/table.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdlib>

#include "common/characters.h"
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

int compareIgnoringAsciiCase(std::string_view left, std::string_view right) noexcept {
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto a = static_cast<unsigned char>(lowerAscii(left[i]));
        const auto b = static_cast<unsigned char>(lowerAscii(right[i]));
        if (a != b) {
            return a < b ? -1 : 1;
        }
    }
    if (left.size() == right.size()) {
        return 0;
    }
    return left.size() < right.size() ? -1 : 1;
}

std::string wholeNumberText(double value) {
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

// 0 numbers, 1 text, 2 empty: the order of the kinds of key in the sort.
int category(std::string_view text, const std::optional<double>& number) noexcept {
    if (number) {
        return 0;
    }
    return text.empty() ? 2 : 1;
}

bool sameMergeKey(std::string_view left, const std::optional<double>& leftNumber,
                  std::string_view right, const std::optional<double>& rightNumber) noexcept {
    if (left.empty() || right.empty()) {
        return false;
    }
    if (leftNumber && rightNumber) {
        return *leftNumber == *rightNumber;
    }
    return !leftNumber && !rightNumber && left == right;
}

// A designator cut into its leading non-digit prefix, the digits after it and the rest.
struct DesignatorParts {
    std::string_view prefix;
    std::string_view digits;
    std::string_view rest;
};

DesignatorParts designatorParts(std::string_view text) noexcept {
    std::size_t at = 0;
    while (at < text.size() && !isDigit(text[at])) {
        ++at;
    }
    const std::size_t digits = digitsFrom(text, at);
    return {text.substr(0, at), text.substr(at, digits), text.substr(at + digits)};
}

std::string_view withoutLeadingZeros(std::string_view digits) noexcept {
    while (!digits.empty() && digits.front() == '0') {
        digits.remove_prefix(1);
    }
    return digits;
}

// Digit strings by their value, however long.
int compareDigitValues(std::string_view left, std::string_view right) noexcept {
    left = withoutLeadingZeros(left);
    right = withoutLeadingZeros(right);
    if (left.size() != right.size()) {
        return left.size() < right.size() ? -1 : 1;
    }
    const int order = left.compare(right);
    return (order > 0) - (order < 0);
}

// Whether next's number is previous's plus one.
bool isSuccessor(std::string_view previous, std::string_view next) {
    std::string incremented(withoutLeadingZeros(previous));
    std::size_t at = incremented.size();
    while (at > 0 && incremented[at - 1] == '9') {
        incremented[--at] = '0';
    }
    if (at == 0) {
        incremented.insert(incremented.begin(), '1');
    } else {
        ++incremented[at - 1];
    }
    return incremented == withoutLeadingZeros(next);
}

bool hasLeadingZero(std::string_view digits) noexcept {
    return digits.size() > 1 && digits.front() == '0';
}

// Whether next carries a range on after previous. "R1-R3" must stand for R1, R2 and R3 as
// written, so "R1, R02, R3" is no range, while "R9, R10, R11" and "R08, R09, R10" are.
bool continuesRange(std::string_view previous, std::string_view next) {
    const DesignatorParts before = designatorParts(previous);
    const DesignatorParts after = designatorParts(next);
    if (before.digits.empty() || after.digits.empty() || !before.rest.empty() ||
        !after.rest.empty() || before.prefix != after.prefix) {
        return false;
    }
    if ((hasLeadingZero(before.digits) || hasLeadingZero(after.digits)) &&
        before.digits.size() != after.digits.size()) {
        return false;
    }
    return isSuccessor(before.digits, after.digits);
}

}  // namespace

std::string_view Table::keep(std::string text) {
    return texts.emplace_back(std::move(text));
}

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

KeyColumns keyColumns(const std::vector<std::string>& columns, const std::string& key) {
    KeyColumns found;
    for (std::size_t column = 0; column <= columns.size(); ++column) {
        const std::string_view name =
            column < columns.size() ? std::string_view(columns[column]) : std::string_view();
        if (name == key) {
            found.key = column;
        } else if (name == "REFDES") {
            found.reference = column;
        } else if (name == "QTY") {
            found.quantity = column;
        }
    }
    if (!found.key) {
        throw Error(errc::KeyNotInColumns, "Cannot compress the report by the key \"" + key +
                                               "\": no report column has that name");
    }
    return found;
}

int compareSortKeys(std::string_view left, std::string_view right) noexcept {
    const auto leftNumber = readNumber(left);
    const auto rightNumber = readNumber(right);
    const int leftCategory = category(left, leftNumber);
    const int rightCategory = category(right, rightNumber);
    if (leftCategory != rightCategory) {
        return leftCategory < rightCategory ? -1 : 1;
    }
    if (leftCategory == 0) {
        if (*leftNumber == *rightNumber) {
            return 0;
        }
        return *leftNumber < *rightNumber ? -1 : 1;
    }
    return compareIgnoringAsciiCase(left, right);
}

bool sameMergeKey(std::string_view left, std::string_view right) noexcept {
    return sameMergeKey(left, readNumber(left), right, readNumber(right));
}

namespace {

// Puts the rows of `width` cells into the order given (order[i] the row that goes to place i),
// in place, one cycle of the permutation at a time, so that a table of a million rows is never
// held twice. The order is used up.
void permuteRows(std::vector<std::string_view>& cells, std::size_t width,
                 std::vector<std::size_t>& order) {
    constexpr std::size_t placed = static_cast<std::size_t>(-1);
    std::vector<std::string_view> held(width);
    for (std::size_t start = 0; start < order.size(); ++start) {
        if (order[start] == placed || order[start] == start) {
            continue;
        }
        const auto rowAt = [&](std::size_t row) { return cells.begin() + row * width; };
        std::copy(rowAt(start), rowAt(start) + width, held.begin());
        std::size_t place = start;
        while (order[place] != start) {
            const std::size_t from = order[place];
            std::copy(rowAt(from), rowAt(from) + width, rowAt(place));
            order[place] = placed;
            place = from;
        }
        std::copy(held.begin(), held.end(), rowAt(place));
        order[place] = placed;
    }
}

}  // namespace

void sortRows(Table& table, std::size_t keyColumn) {
    // The keys are gathered once into a compact array, text folded to lower case: comparing
    // through the rows would cost a cache miss or two per comparison.
    struct SortKey {
        int category;
        double number;
        std::string_view folded;
        std::size_t row;
    };
    const std::size_t rows = table.rowCount();
    std::size_t textBytes = 0;
    for (std::size_t row = 0; row < rows; ++row) {
        textBytes += table.cell(row, keyColumn).size();
    }
    std::string foldedText;
    foldedText.reserve(textBytes);
    std::vector<SortKey> keys;
    keys.reserve(rows);
    for (std::size_t row = 0; row < rows; ++row) {
        const std::string_view text = table.cell(row, keyColumn);
        const auto number = readNumber(text);
        SortKey key{category(text, number), number.value_or(0), {}, row};
        if (key.category == 1) {
            const std::size_t start = foldedText.size();
            for (const char c : text) {
                foldedText += lowerAscii(c);
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
    std::vector<std::size_t> order;
    order.reserve(rows);
    for (const SortKey& key : keys) {
        order.push_back(key.row);
    }
    keys = {};  // gone before the rows move
    if (!table.designators.empty()) {
        std::vector<std::size_t> again = order;
        permuteRows(table.designators, 1, again);
    }
    permuteRows(table.cells, table.width(), order);
}

std::vector<std::size_t> runStarts(const Table& table, std::size_t keyColumn) {
    std::vector<std::size_t> starts;
    std::string_view headKey;
    std::optional<double> headNumber;
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        const std::string_view key = table.cell(row, keyColumn);
        const std::optional<double> number = readNumber(key);
        if (starts.empty() || !sameMergeKey(headKey, headNumber, key, number)) {
            starts.push_back(row);
            headKey = key;
            headNumber = number;
        }
    }
    return starts;
}

RefdesOrder refdesOrderOf(int setting) noexcept {
    switch (setting) {
        case 1:
            return RefdesOrder::Natural;
        case 2:
            return RefdesOrder::Ranges;
        default:
            return RefdesOrder::AsFound;
    }
}

int compareDesignators(std::string_view left, std::string_view right) noexcept {
    const DesignatorParts a = designatorParts(left);
    const DesignatorParts b = designatorParts(right);
    if (const int prefix = compareIgnoringAsciiCase(a.prefix, b.prefix)) {
        return prefix;
    }
    if (a.digits.empty() != b.digits.empty()) {
        return a.digits.empty() ? -1 : 1;
    }
    if (const int number = compareDigitValues(a.digits, b.digits)) {
        return number;
    }
    const int rest = a.rest.compare(b.rest);
    return (rest > 0) - (rest < 0);
}

std::string joinDesignators(std::vector<std::string_view> designators, RefdesOrder order) {
    if (order != RefdesOrder::AsFound) {
        std::stable_sort(designators.begin(), designators.end(),
                         [](std::string_view left, std::string_view right) {
                             return compareDesignators(left, right) < 0;
                         });
    }
    std::string joined;
    for (std::size_t first = 0; first < designators.size();) {
        std::size_t last = first;
        if (order == RefdesOrder::Ranges) {
            while (last + 1 < designators.size() &&
                   continuesRange(designators[last], designators[last + 1])) {
                ++last;
            }
        }
        if (first > 0) {
            joined += ", ";
        }
        joined += designators[first];
        if (last - first >= 2) {
            joined += '-';
            joined += designators[last];
            first = last + 1;
        } else {
            ++first;
        }
    }
    return joined;
}

void mergeRuns(Table& table, const std::vector<std::size_t>& starts, const KeyColumns& columns,
               RefdesOrder order) {
    const std::size_t width = table.width();
    const std::size_t rows = table.rowCount();
    std::vector<std::string_view> merged;
    merged.reserve(starts.size() * width);
    for (std::size_t run = 0; run < starts.size(); ++run) {
        const std::size_t first = starts[run];
        const std::size_t end = run + 1 < starts.size() ? starts[run + 1] : rows;
        const std::size_t at = merged.size();
        const auto head = table.row(first);
        merged.insert(merged.end(), head.begin(), head.end());
        if (end - first < 2) {
            continue;
        }
        if (columns.reference) {
            std::vector<std::string_view> references;
            references.reserve(end - first);
            for (std::size_t row = first; row < end; ++row) {
                references.push_back(table.cell(row, *columns.reference));
            }
            merged[at + *columns.reference] =
                table.keep(joinDesignators(std::move(references), order));
        }
        if (columns.quantity) {
            double quantity = 0;
            for (std::size_t row = first; row < end; ++row) {
                quantity += readNumber(table.cell(row, *columns.quantity)).value_or(0);
            }
            merged[at + *columns.quantity] = table.keep(wholeNumberText(quantity));
        }
    }
    table.cells.swap(merged);
    if (!table.designators.empty()) {
        std::vector<std::string_view> heads;
        heads.reserve(starts.size());
        for (const std::size_t start : starts) {
            heads.push_back(table.designators[start]);
        }
        table.designators.swap(heads);
    }
}

Grouping groupByKey(Table& table, const std::string& key, RefdesOrder order) {
    Grouping grouping{keyColumns(table.columns, key), {}, order};
    sortRows(table, *grouping.columns.key);
    grouping.starts = runStarts(table, *grouping.columns.key);
    return grouping;
}

Grouping compressTable(Table& table, const std::string& key, RefdesOrder order) {
    Grouping grouping = groupByKey(table, key, order);
    mergeRuns(table, grouping.starts, grouping.columns, order);
    return grouping;
}

}  // namespace vexlo::report
