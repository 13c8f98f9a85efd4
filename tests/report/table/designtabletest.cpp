#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <set>

#include "dbus/flatstream.h"
#include "faketool.h"
#include "report/table/designtable.h"

// Tables of random designs, whose names repeat and differ in case alone, against model code.
namespace vexlo::report {
namespace {

using Strings = std::vector<std::string>;
using Pairs = std::vector<design::Attribute>;

// A component as the model holds it: the object attributes, the attributes, the symbol's.
struct ModelComponent {
    std::string refdes;
    Pairs collections[3];
};

// The first pair of the name in the first collection that has the name.
std::optional<std::string> modelValue(const ModelComponent& component, const std::string& name) {
    for (const Pairs& pairs : component.collections) {
        for (const design::Attribute& pair : pairs) {
            if (pair.Name == name) {
                return pair.Value;
            }
        }
    }
    return std::nullopt;
}

// The components shared by one storage, each with one of its own, both mixed, or read back
// from the tool's stream.
design::FlattenedDesign built(const std::vector<ModelComponent>& model, unsigned way) {
    design::FlattenedDesign design;
    for (std::size_t i = 0; i < model.size(); ++i) {
        const ModelComponent& c = model[i];
        if (way == 1 || (way == 3 && i % 2 == 1)) {
            design.components.push_back(design::makeComponent(c.refdes, c.collections[1],
                                                              c.collections[2], c.collections[0]));
            continue;
        }
        std::vector<design::AttributeView> views[3];
        for (int k = 0; k < 3; ++k) {
            for (const design::Attribute& pair : c.collections[k]) {
                views[k].push_back({pair.Name, pair.Value});
            }
        }
        design.add(c.refdes, views[0], views[1], views[2]);
    }
    return way == 2 ? dbus::readFlatStream(dbus::writeFlatStream(design)) : design;
}

// "NAME=VALUE" of each attribute of a list.
template <typename Attributes>
Strings texts(const Attributes& list) {
    Strings texts;
    for (const auto& pair : list) {
        texts.push_back(std::string(pair.Name) + "=" + std::string(pair.Value));
    }
    return texts;
}

void expectCollectionsAgree(const design::Component& component, const ModelComponent& c,
                            const Strings& names) {
    const design::AttributeCollection* collections[] = {&component.OATList, &component.Attributes,
                                                        &component.Symbol.Attributes};
    for (int k = 0; k < 3; ++k) {
        const Pairs& model = c.collections[k];
        EXPECT_EQ(texts(*collections[k]), texts(model));
        for (const std::string& name : names) {
            const design::AttributeMatches found = collections[k]->byName(name);
            const auto first = std::ranges::find(model, name, &design::Attribute::Name);
            EXPECT_EQ(found.Count(), std::ranges::count(model, name, &design::Attribute::Name));
            EXPECT_EQ(texts(std::vector{found.First()}),
                      texts(first == model.end() ? Pairs{{}} : Pairs{*first}));
        }
    }
    for (const std::string& name : names) {
        EXPECT_EQ(design::attributeValue(component, name), modelValue(c, name).value_or(""));
    }
}

TEST(DesignTable, AgreesWithAModelOnRandomDesigns) {
    const Strings names = {"Value", "value", "VALUE", "A", "", "QTY", "Part Number"};
    const Strings values = {"", "x", "X", "10k", "a\tb", "c\r\nd"};
    std::mt19937 random(20261208);
    for (unsigned round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        std::vector<ModelComponent> model(random() % 12);
        for (ModelComponent& c : model) {
            c.refdes = random() % 7 == 0 ? "" : "Rr"[random() % 2] + std::to_string(random() % 6);
            for (Pairs& pairs : c.collections) {
                for (int i = static_cast<int>(random() % 5); i > 0; --i) {
                    pairs.push_back({names[random() % names.size()], values[random() % 6]});
                }
            }
        }
        Strings columns;
        for (int i = static_cast<int>(random() % 9); i > 0; --i) {
            columns.push_back(random() % 8 == 0 ? "Missing" : names[random() % names.size()]);
        }
        TableRules rules;
        const std::string excluded = random() % 3 == 0 ? names[random() % names.size()] : "";
        rules.exclusion = exclusionOf(excluded, "x, 10K");
        rules.designators = random() % 2 == 0;
        const design::FlattenedDesign design = built(model, round % 4);

        std::vector<Strings> rows;
        Strings designators;
        std::set<std::string> met;
        for (std::size_t i = 0; i < model.size(); ++i) {
            expectCollectionsAgree(design.components[i], model[i], names);
            const ModelComponent& c = model[i];
            // The values "x, 10K" leave out, letter case aside.
            const std::set<std::string> leftOut = {"x", "X", "10k"};
            if (c.refdes.empty() || !met.insert(c.refdes).second ||
                (!excluded.empty() && leftOut.contains(modelValue(c, excluded).value_or("")))) {
                continue;
            }
            Strings row;
            const auto isBreak = [](char ch) { return ch == '\t' || ch == '\r' || ch == '\n'; };
            for (const std::string& column : columns) {
                std::string cell = column == "QTY" ? "1" : modelValue(c, column).value_or("");
                std::ranges::replace_if(cell, isBreak, ' ');  // the tabs and line breaks
                row.push_back(cell);
            }
            rows.push_back(columns.empty() ? Strings{""} : row);
            designators.push_back(c.refdes);
        }
        const Table table = buildTable(design, columns, rules);
        std::vector<Strings> cells;
        for (std::size_t row = 0; row < table.rowCount(); ++row) {
            cells.emplace_back(table.row(row).begin(), table.row(row).end());
        }
        ASSERT_EQ(cells, rows);
        EXPECT_EQ(Strings(table.designators.begin(), table.designators.end()),
                  rules.designators ? designators : Strings{});

        Strings missing;
        std::ranges::copy_if(columns, std::back_inserter(missing), [&](const std::string& name) {
            return name != "QTY" && std::ranges::none_of(model, [&](const ModelComponent& c) {
                       return modelValue(c, name).has_value();
                   });
        });
        EXPECT_EQ(columnsNoComponentCarries(design, columns), missing);
    }
}

}  // namespace
}  // namespace vexlo::report
