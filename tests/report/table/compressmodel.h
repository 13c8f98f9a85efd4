#pragma once

// Plain model code of compressing, which the random tests of compress and of comparisons check
// the engine against: the rows sorted by each key in turn, a row joining the group whose first
// row it matches in every key (the same text, or numbers of one value) unless all of that first
// row's keys are empty.
#include <algorithm>
#include <string>
#include <vector>

#include "report/table/table.h"

namespace vexlo::report::model {

using Strings = std::vector<std::string>;

// Whether a row of keys `row` joins the group whose first row has the keys `first`.
inline bool joins(const Strings& first, const Strings& row) {
    for (std::size_t key = 0; key < first.size(); ++key) {
        const auto a = readNumber(first[key]), b = readNumber(row[key]);
        if (first[key] != row[key] && !(a && b && *a == *b)) {
            return false;
        }
    }
    return !std::ranges::all_of(first, &std::string::empty);
}

// The rows in their groups, in the order compressing gives them; `keysOf` gives a row's keys.
template <typename Row, typename KeysOf>
std::vector<std::vector<Row>> groups(std::vector<Row> rows, const KeysOf& keysOf) {
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        const Strings left = keysOf(a), right = keysOf(b);
        for (std::size_t key = 0; key < left.size(); ++key) {
            if (const int order = compareSortKeys(left[key], right[key])) {
                return order < 0;
            }
        }
        return false;
    });
    std::vector<std::vector<Row>> grouped;
    for (const Row& row : rows) {
        if (!grouped.empty() && joins(keysOf(grouped.back().front()), keysOf(row))) {
            grouped.back().push_back(row);
        } else {
            grouped.push_back({row});
        }
    }
    return grouped;
}

}  // namespace vexlo::report::model
