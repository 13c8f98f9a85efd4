#include "report/table/table.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <limits>

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

// Whether a row's key cell equals the run's first: the same text, or two numbers of one value.
// An empty cell equals only an empty one.
bool sameKeyCell(std::string_view head, const std::optional<double>& headNumber,
                 std::string_view cell) {
    if (cell == head) {
        return true;
    }
    if (cell.empty() || head.empty() || !headNumber) {
        return false;
    }
    const std::optional<double> number = readNumber(cell);
    return number && *number == *headNumber;
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

std::string keysText(const Keys& keys) {
    std::string text;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        text += (i == 0 ? "" : " + ") + keys[i];
    }
    return text;
}

KeyColumns keyColumns(const std::vector<std::string>& columns, const Keys& keys) {
    static const Keys emptyKey{std::string()};
    const Keys& wanted = keys.empty() ? emptyKey : keys;
    KeyColumns found;
    std::vector<std::optional<std::size_t>> keyAt(wanted.size());
    for (std::size_t column = 0; column <= columns.size(); ++column) {
        const std::string_view name =
            column < columns.size() ? std::string_view(columns[column]) : std::string_view();
        bool isKey = false;
        for (std::size_t key = 0; key < wanted.size(); ++key) {
            if (name == wanted[key]) {
                keyAt[key] = column;
                isKey = true;
            }
        }
        if (isKey) {
            continue;
        }
        if (name == "REFDES") {
            found.reference = column;
        } else if (name == "QTY") {
            found.quantity = column;
        }
    }
    for (std::size_t key = 0; key < wanted.size(); ++key) {
        if (!keyAt[key]) {
            throw Error(errc::KeyNotInColumns, "Cannot compress the report by the key \"" +
                                                   wanted[key] +
                                                   "\": no report column has that name");
        }
        found.keys.push_back(*keyAt[key]);
    }
    return found;
}

std::vector<std::size_t> otherColumns(const Table& table, const KeyColumns& special) {
    std::vector<std::size_t> others;
    for (std::size_t column = 0; column < table.columns.size(); ++column) {
        const bool isKey =
            std::find(special.keys.begin(), special.keys.end(), column) != special.keys.end();
        if (!isKey && column != special.reference && column != special.quantity) {
            others.push_back(column);
        }
    }
    return others;
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
    return !left.empty() && sameKeyCell(left, readNumber(left), right);
}

namespace {

// Puts the rows of `width` cells, and each row's designator when the table keeps them, into the
// order given (order[i] the row that goes to place i), in place, one cycle of the permutation at
// a time, so that a table of a million rows is never held twice. The order is used up.
void permuteRows(Table& table, std::vector<std::size_t>& order) {
    constexpr std::size_t placed = static_cast<std::size_t>(-1);
    const std::size_t width = table.width();
    std::vector<std::string_view>& cells = table.cells;
    std::vector<std::string_view>* designators =
        table.designators.empty() ? nullptr : &table.designators;
    std::vector<std::string_view> held(width);
    std::string_view heldDesignator;
    const auto rowAt = [&](std::size_t row) { return cells.begin() + row * width; };
    for (std::size_t start = 0; start < order.size(); ++start) {
        if (order[start] == placed || order[start] == start) {
            continue;
        }
        std::copy(rowAt(start), rowAt(start) + width, held.begin());
        if (designators != nullptr) {
            heldDesignator = (*designators)[start];
        }
        std::size_t place = start;
        while (order[place] != start) {
            const std::size_t from = order[place];
            std::copy(rowAt(from), rowAt(from) + width, rowAt(place));
            if (designators != nullptr) {
                (*designators)[place] = (*designators)[from];
            }
            order[place] = placed;
            place = from;
        }
        std::copy(held.begin(), held.end(), rowAt(place));
        if (designators != nullptr) {
            (*designators)[place] = heldDesignator;
        }
        order[place] = placed;
    }
}

// A key cell as the sort compares it, gathered into a compact array with its row: comparing
// through the rows would cost a cache miss or two a comparison. Text is folded to lower case
// once, into a buffer of its own.
struct SortKey {
    double number;
    std::size_t folded;  // where the folded text starts in the buffer
    std::uint32_t length;
    std::uint32_t row;
    std::uint8_t category;
};

class SortKeys {
public:
    // The sort keys of the given rows' cells in the column. A key column holds few distinct
    // texts, met again and again: a text met among the last few is not read again.
    SortKeys(const Table& table, std::size_t column, const std::vector<std::size_t>& rows) {
        std::size_t textBytes = 0;
        for (const std::size_t row : rows) {
            textBytes += table.cell(row, column).size();
        }
        folded_.reserve(textBytes);
        keys_.reserve(rows.size());
        for (const std::size_t row : rows) {
            const std::string_view text = table.cell(row, column);
            SortKey key = keyOf(text);
            key.row = static_cast<std::uint32_t>(row);
            keys_.push_back(key);
        }
    }

    // Stably into compareSortKeys order.
    void sort() {
        std::stable_sort(
            keys_.begin(), keys_.end(),
            [this](const SortKey& left, const SortKey& right) { return compare(left, right) < 0; });
    }

    int compare(const SortKey& left, const SortKey& right) const noexcept {
        if (left.category != right.category) {
            return left.category < right.category ? -1 : 1;
        }
        if (left.category == 0) {
            return left.number < right.number ? -1 : right.number < left.number ? 1 : 0;
        }
        const int order = text(left).compare(text(right));
        return (order > 0) - (order < 0);
    }

    const std::vector<SortKey>& keys() const noexcept { return keys_; }

private:
    std::string_view text(const SortKey& key) const noexcept {
        return std::string_view(folded_).substr(key.folded, key.length);
    }

    // The key of a text, its folded form shared with the same text met lately.
    SortKey keyOf(std::string_view text) {
        for (std::size_t at = 0; at < filled_; ++at) {
            if (recent_[at].text.size() == text.size() && recent_[at].text == text) {
                return recent_[at].key;
            }
        }
        const auto number = readNumber(text);
        SortKey key{number.value_or(0), folded_.size(), 0, 0,
                    static_cast<std::uint8_t>(category(text, number))};
        if (key.category == 1) {
            for (const char c : text) {
                folded_ += lowerAscii(c);
            }
            key.length = static_cast<std::uint32_t>(text.size());
        }
        recent_[next_] = {text, key};
        next_ = (next_ + 1) % recent_.size();
        filled_ = std::max(filled_, next_ == 0 ? recent_.size() : next_);
        return key;
    }

    struct Recent {
        std::string_view text;
        SortKey key;
    };
    std::string folded_;
    std::vector<SortKey> keys_;
    std::array<Recent, 4> recent_{};
    std::size_t filled_ = 0;  // the recent texts are those before it
    std::size_t next_ = 0;
};

// Orders the rows (a list of row numbers) stably by their cells in the key columns from
// `level` on: by the first, then each run that sorts equal by the next.
void orderRows(const Table& table, const std::vector<std::size_t>& keyColumns, std::size_t level,
               std::vector<std::size_t>& rows) {
    std::vector<std::pair<std::size_t, std::size_t>> ties;  // runs that sort equal: [first, end)
    {
        SortKeys keys(table, keyColumns[level], rows);
        keys.sort();
        const std::vector<SortKey>& sorted = keys.keys();
        const bool deeper = level + 1 < keyColumns.size();
        std::size_t first = 0;
        for (std::size_t at = 0; at < sorted.size(); ++at) {
            rows[at] = sorted[at].row;
            if (deeper && at > 0 && keys.compare(sorted[first], sorted[at]) != 0) {
                first = at;
            }
            if (deeper && at > first &&
                (at + 1 == sorted.size() || keys.compare(sorted[first], sorted[at + 1]) != 0)) {
                ties.emplace_back(first, at + 1);
            }
        }
    }  // the keys go before the runs are sorted further
    for (const auto& [first, end] : ties) {
        std::vector<std::size_t> run(rows.begin() + static_cast<std::ptrdiff_t>(first),
                                     rows.begin() + static_cast<std::ptrdiff_t>(end));
        orderRows(table, keyColumns, level + 1, run);
        std::copy(run.begin(), run.end(), rows.begin() + static_cast<std::ptrdiff_t>(first));
    }
}

}  // namespace

void sortRows(Table& table, const std::vector<std::size_t>& keyColumns) {
    const std::size_t rows = table.rowCount();
    if (rows > std::numeric_limits<std::uint32_t>::max()) {
        throw Error(errc::DesignTooLarge,
                    "A table of more than 4,294,967,295 rows cannot be sorted");
    }
    std::vector<std::size_t> order(rows);
    for (std::size_t row = 0; row < rows; ++row) {
        order[row] = row;
    }
    if (!keyColumns.empty()) {
        orderRows(table, keyColumns, 0, order);
    }
    permuteRows(table, order);
}

std::vector<std::size_t> runStarts(const Table& table, const std::vector<std::size_t>& keyColumns) {
    std::vector<std::size_t> starts;
    std::vector<std::string_view> head(keyColumns.size());
    std::vector<std::optional<double>> headNumbers(keyColumns.size());
    bool headKeyless = true;  // every key cell of the run's first row is empty
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        bool same = !starts.empty() && !headKeyless;
        for (std::size_t key = 0; same && key < keyColumns.size(); ++key) {
            same = sameKeyCell(head[key], headNumbers[key], table.cell(row, keyColumns[key]));
        }
        if (same) {
            continue;
        }
        starts.push_back(row);
        headKeyless = true;
        for (std::size_t key = 0; key < keyColumns.size(); ++key) {
            head[key] = table.cell(row, keyColumns[key]);
            headNumbers[key] = readNumber(head[key]);
            headKeyless = headKeyless && head[key].empty();
        }
    }
    return starts;
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

namespace {

// A row's designator as a mixed row names it: the one the table kept, else its reference cell.
std::string_view designatorOf(const Table& table, const KeyColumns& special, std::size_t row) {
    if (!table.designators.empty()) {
        return table.designators[row];
    }
    return special.reference ? table.cell(row, *special.reference) : std::string_view();
}

// The designators of each value of the column among the run's rows, values in the order met.
Difference differenceIn(const Table& table, const Grouping& grouping, std::size_t column,
                        std::size_t first, std::size_t end) {
    std::vector<std::string_view> values;
    std::vector<std::vector<std::string_view>> designators;
    for (std::size_t row = first; row < end; ++row) {
        const std::string_view value = table.cell(row, column);
        const auto place = static_cast<std::size_t>(std::find(values.begin(), values.end(), value) -
                                                    values.begin());
        if (place == values.size()) {
            values.push_back(value);
            designators.emplace_back();
        }
        designators[place].push_back(designatorOf(table, grouping.columns, row));
    }
    Difference difference{table.header[column], {}};
    for (auto& names : designators) {
        difference.sides.push_back(joinDesignators(std::move(names), grouping.references));
    }
    return difference;
}

// The runs whose rows differ in a checked column, the first few described.
void findMixedRuns(const Table& table, Grouping& grouping) {
    const std::vector<std::size_t> checked = otherColumns(table, grouping.columns);
    const std::vector<std::size_t>& starts = grouping.starts;
    for (std::size_t run = 0; run < starts.size(); ++run) {
        const std::size_t first = starts[run];
        const std::size_t end = run + 1 < starts.size() ? starts[run + 1] : table.rowCount();
        MixedRow mixed{run, {}, {}, {}};
        for (const std::size_t column : checked) {
            const std::string_view head = table.cell(first, column);
            for (std::size_t row = first + 1; row < end; ++row) {
                if (table.cell(row, column) != head) {
                    mixed.columns.push_back(column);
                    break;
                }
            }
        }
        if (mixed.columns.empty()) {
            continue;
        }
        std::vector<std::string> keyCells;
        for (const std::size_t key : grouping.columns.keys) {
            const std::string_view cell = table.cell(first, key);
            keyCells.emplace_back(cell.empty() ? std::string_view("\"\"") : cell);
        }
        mixed.key = keysText(keyCells);
        if (grouping.mixed.size() < describedMixedRows) {
            for (const std::size_t column : mixed.columns) {
                mixed.differences.push_back(differenceIn(table, grouping, column, first, end));
            }
        }
        grouping.mixed.push_back(std::move(mixed));
    }
}

}  // namespace

Grouping groupByKey(Table& table, const Keys& keys, RefdesOrder order) {
    Grouping grouping{keyColumns(table.columns, keys), {}, order, {}};
    sortRows(table, grouping.columns.keys);
    grouping.starts = runStarts(table, grouping.columns.keys);
    findMixedRuns(table, grouping);
    return grouping;
}

Grouping compressTable(Table& table, const Keys& keys, RefdesOrder order) {
    Grouping grouping = groupByKey(table, keys, order);
    mergeRuns(table, grouping.starts, grouping.columns, order);
    return grouping;
}

}  // namespace vexlo::report
