// Comparisons of random revisions against a few lines of model code: the rows each revision's
// report holds, paired by designator or by key, and what differs between partners.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <set>

#include "../table/compressmodel.h"
#include "faketool.h"
#include "report/compare/compare.h"
#include "testsupport.h"

namespace vexlo::report {
namespace {

using Strings = std::vector<std::string>;

// A part of the model: designator, keys (Value, and Size when the round has two keys) and one
// other column (Note).
struct Part {
    std::string refdes, value, note, size;
};

// The keys of the round: Value alone, or Value and Size.
bool twoKeys = false;

Strings keysOf(const Part& part) {
    return twoKeys ? Strings{part.value, part.size} : Strings{part.value};
}

// The first part of each designator, in design order, as the report keeps them.
std::vector<Part> firstOfEach(const std::vector<Part>& parts) {
    std::vector<Part> kept;
    std::set<std::string> met;
    for (const Part& part : parts) {
        if (met.insert(part.refdes).second) {
            kept.push_back(part);
        }
    }
    return kept;
}

// A report's merged rows: the first part of the run and every designator of it.
struct Group {
    Part first;
    Strings refdes;
};

std::vector<Group> groups(const std::vector<Part>& parts) {
    std::vector<Group> merged;
    for (const std::vector<Part>& group : model::groups(firstOfEach(parts), keysOf)) {
        merged.push_back({group.front(), {}});
        std::ranges::transform(group, std::back_inserter(merged.back().refdes), &Part::refdes);
    }
    return merged;
}

// Those of `from` that `other` lacks.
Strings missing(const Strings& from, const Strings& other) {
    Strings left;
    std::ranges::copy_if(from, std::back_inserter(left), [&](const std::string& name) {
        return std::ranges::count(other, name) == 0;
    });
    return left;
}

// Old and new values as a row of the change shows them.
void pairCells(Strings& row, const std::string& change, const std::string& old,
               const std::string& now) {
    const bool shown = change == "same" || (change == "changed" && old != now);
    row.push_back(change == "removed" || shown ? old : "");
    row.push_back(change == "added" || shown ? now : "");
}

// The model's rows, compressed by Value (and Size) with the columns Note, REFDES, Value, (Size)
// and QTY: each new group paired with the first unpaired old group whose keys merge with its own
// (keys all empty with the same designator).
std::vector<Strings> compressedModel(const std::vector<Part>& old, const std::vector<Part>& now) {
    const std::vector<Group> before = groups(old), after = groups(now);
    std::vector<bool> paired(before.size());
    std::vector<Strings> rows;
    const auto row = [&](const Group* o, const Group* n) {
        const Strings oldNames = o ? o->refdes : Strings{}, newNames = n ? n->refdes : Strings{};
        const Part& first = n ? n->first : o->first;
        const Strings added = missing(newNames, oldNames), removed = missing(oldNames, newNames);
        std::string change = !o ? "added" : !n ? "removed" : "same";
        if (change == "same" &&
            (!added.empty() || !removed.empty() || o->first.note != n->first.note)) {
            change = "changed";
        }
        Strings cells{change};
        const Strings keys = keysOf(first);
        cells.insert(cells.end(), keys.begin(), keys.end());
        cells.insert(cells.end(), {std::to_string(oldNames.size()), std::to_string(newNames.size()),
                                   test::joined(added, ", "), test::joined(removed, ", ")});
        pairCells(cells, change, o ? o->first.note : "", n ? n->first.note : "");
        rows.push_back(cells);
    };
    for (const Group& group : after) {
        const Group* partner = nullptr;
        for (std::size_t i = 0; i < before.size() && partner == nullptr; ++i) {
            const Part& candidate = before[i].first;
            const Strings keys = keysOf(group.first), candidateKeys = keysOf(candidate);
            const bool keyless = std::ranges::all_of(keys, &std::string::empty);
            const bool same = keyless
                                  ? keys == candidateKeys && candidate.refdes == group.first.refdes
                                  : model::joins(candidateKeys, keys);
            if (!paired[i] && same) {
                paired[i] = true;
                partner = &before[i];
            }
        }
        row(partner, &group);
    }
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (!paired[i]) {
            row(&before[i], nullptr);
        }
    }
    return rows;
}

// The model's rows by designator, with the columns REFDES, Value and Note.
std::vector<Strings> designatorModel(const std::vector<Part>& old, const std::vector<Part>& now) {
    std::map<std::string, std::pair<std::optional<Part>, std::optional<Part>>> partners;
    for (const Part& part : firstOfEach(old)) {
        partners[part.refdes].first = part;
    }
    for (const Part& part : firstOfEach(now)) {
        partners[part.refdes].second = part;
    }
    std::vector<Strings> rows;
    for (const auto& [refdes, pair] : partners) {
        const auto& [o, n] = pair;
        std::string change = !o ? "added" : !n ? "removed" : "same";
        if (change == "same" && (o->value != n->value || o->note != n->note)) {
            change = "changed";
        }
        Strings cells{change, refdes};
        pairCells(cells, change, o ? o->value : "", n ? n->value : "");
        pairCells(cells, change, o ? o->note : "", n ? n->note : "");
        rows.push_back(cells);
    }
    return rows;
}

std::shared_ptr<const design::FlattenedDesign> designOf(const std::vector<Part>& parts) {
    auto design = std::make_shared<design::FlattenedDesign>();
    for (const Part& part : parts) {
        design->components.push_back(design::makeComponent(part.refdes, {{"REFDES", part.refdes},
                                                                         {"Value", part.value},
                                                                         {"Note", part.note},
                                                                         {"Size", part.size}}));
    }
    return design;
}

// The comparison's rows, each its change and cells, sorted.
std::vector<Strings> rowsOf(const Comparison& comparison) {
    std::vector<Strings> rows;
    const Table& table = comparison.table;
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        rows.push_back({changeName(comparison.changes[row])});
        rows.back().insert(rows.back().end(), table.row(row).begin(), table.row(row).end());
    }
    std::ranges::sort(rows);
    return rows;
}

TEST(CompareRevisions, AgreesWithAModelOnRandomRevisions) {
    // Keys that merge as numbers ("10", "1e1", "010") or only exactly ("abc", "ABC"), and empty.
    const Strings values = {"10", "1e1", "010", "abc", "ABC", "", "x", "0", "-0"};
    const Strings sizes = {"0603", "603", "", "0805"};
    std::mt19937 random(20261208);
    const auto part = [&]() -> Part {
        return {"R" + std::to_string(random() % 30), values[random() % values.size()],
                "n" + std::to_string(random() % 2), sizes[random() % sizes.size()]};
    };
    const auto revision = [&](const std::vector<Part>& from) {
        std::vector<Part> parts;
        for (const Part& part : from) {
            if (random() % 5 != 0) {  // most parts stay, some with another value or note
                parts.push_back(part);
                if (random() % 4 == 0) {
                    parts.back().value = values[random() % values.size()];
                }
                if (random() % 5 == 0) {
                    parts.back().size = sizes[random() % sizes.size()];
                }
                if (random() % 6 == 0) {
                    parts.back().note = "n" + std::to_string(random() % 2);
                }
            }
        }
        for (int i = static_cast<int>(random() % 4); i > 0; --i) {  // new parts, or repeats
            parts.push_back(part());
        }
        std::shuffle(parts.begin(), parts.end(), random);
        return parts;
    };
    int changedRows = 0;
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        std::vector<Part> base;
        for (int i = static_cast<int>(random() % 25); i > 0; --i) {
            base.push_back(part());
        }
        const std::vector<Part> old = revision(base);
        const std::vector<Part> now = revision(old);
        const bool compress = round % 2 == 0, keepSame = round % 3 == 0;
        twoKeys = compress && round % 4 == 0;
        ReportRequest request;
        request.compress = compress;
        request.keys = twoKeys ? Strings{"Value", "Size"} : Strings{"Value"};
        request.columns = !compress ? Strings{"REFDES", "Value", "Note"}
                          : twoKeys ? Strings{"Note", "REFDES", "Value", "Size", "QTY"}
                                    : Strings{"Note", "REFDES", "Value", "QTY"};
        const Comparison comparison =
            compareRevisions({"old", designOf(old)}, {"new", designOf(now)}, request, keepSame);
        auto model = compress ? compressedModel(old, now) : designatorModel(old, now);
        std::erase_if(model, [&](const Strings& r) { return !keepSame && r[0] == "same"; });
        std::ranges::sort(model);
        ASSERT_EQ(rowsOf(comparison), model);
        const auto count = [&](const char* change) {
            return static_cast<std::size_t>(
                std::ranges::count_if(model, [&](const Strings& r) { return r[0] == change; }));
        };
        EXPECT_EQ(countsText(comparison.counts),
                  countsText({count("added"), count("removed"), count("changed")}));
        changedRows += static_cast<int>(count("changed"));
    }
    EXPECT_GT(changedRows, 200);  // the rounds are not all trivially the same
    twoKeys = false;
}

}  // namespace
}  // namespace vexlo::report
