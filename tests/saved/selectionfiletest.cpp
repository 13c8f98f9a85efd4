#include "saved/selectionfile.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "cases.h"
#include "common/error.h"
#include "testsupport.h"

namespace vexlo::saved {
namespace {

using Lines = std::vector<std::string>;
using test::readFile;
using test::TempDir;

// A list as its entries each after a "|"; "none" for nothing read.
std::string listed(const std::optional<Lines>& entries) {
    std::string text = entries ? "" : "none";
    for (const auto& entry : entries.value_or(Lines{})) {
        text += "|" + entry;
    }
    return text;
}

// Keys as the cases write them: joined by " + ".
std::string keysShown(const Lines& keys) {
    std::string text;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        text += (i == 0 ? "" : " + ") + keys[i];
    }
    return text;
}

// The names a delete left; "none" for a file it could not read.
std::string listed(const std::optional<Deletion>& deletion) {
    return listed(deletion ? std::optional(deletion->names) : std::nullopt);
}

std::string shown(const std::optional<LoadedSelection>& s) {
    return !s ? "none" : listed(s->columns) + (s->compress ? " ==" + keysShown(s->keys) : "");
}

Lines keysOf(const std::string& text) {
    Lines keys;
    for (std::size_t at = 0, plus = 0; !text.empty() && plus != text.npos; at = plus + 3) {
        plus = text.find(" + ", at);
        keys.push_back(text.substr(at, plus - at));
    }
    return keys;
}

std::string bytes(const std::string& path) {
    return std::filesystem::exists(path) ? readFile(path) : "none";
}

// "NAME|COLUMN...[ ==KEY[ + KEY...]]" saved: the sections already named so, or the error.
std::string save(const std::string& path, const std::string& argument) {
    const auto keyAt = argument.find(" ==");
    const std::string head = argument.substr(0, keyAt);
    Lines columns;
    for (auto bar = head.find('|'); bar != head.npos; bar = head.find('|', bar + 1)) {
        columns.push_back(head.substr(bar + 1, head.find('|', bar + 1) - bar - 1));
    }
    try {
        const bool compress = keyAt != argument.npos;
        return std::to_string(
            saveSelectionToFile(path, head.substr(0, head.find('|')), columns, compress,
                                compress ? keysOf(argument.substr(keyAt + 3)) : Lines{}));
    } catch (const Error& error) {
        std::string message = errorMessage(error);
        const auto at = message.find(path);
        return at == message.npos ? message : message.replace(at, path.size(), "PATH");
    }
}

// A section of selectionfile.txt, its lines in turn.
void selectionSection(const test::CaseSection& section) {
    std::unique_ptr<TempDir> dir;
    std::string path;
    bool unprivileged = false;  // the file's mode keeps others from reading it
    for (const auto& c : section.lines) {
        SCOPED_TRACE("selectionfile.txt:" + std::to_string(c.number));
        if (c.verb == "file" || c.verb == "nofile" || c.verb == "mode") {
            if (c.verb == "mode") {
                ::chmod(dir->path().c_str(), 0777);
                ::chmod(path.c_str(), std::stoi(c.argument, nullptr, 8));
            } else {
                dir = std::make_unique<TempDir>();
                path = dir->file(selectionFileName);
            }
            unprivileged = c.verb == "mode" && c.argument != "644";
            if (c.verb == "file") {
                test::writeFile(path, c.argument);
            }
            continue;
        }
        const std::string before = unprivileged ? "" : bytes(path);
        const auto act = [&] {
            return c.verb == "names"    ? listed(readSelectionNames(path))
                   : c.verb == "load"   ? shown(loadSelectionFromFile(path, c.argument))
                   : c.verb == "save"   ? save(path, c.argument)
                   : c.verb == "delete" ? listed(deleteSelectionFromFile(path, c.argument))
                                        : bytes(path);
        };
        if (unprivileged) {  // as an ordinary user, whom the mode stops
            const int status = test::runUnprivileged([&] {
                const std::string got = act();
                std::fprintf(stderr, "%s\n", got.c_str());  // shown when it is not the one expected
                return got == c.expected ? 0 : 1;
            });
            EXPECT_EQ(status, 0) << c.verb;
            continue;
        }
        EXPECT_EQ(act(), c.expected) << c.verb;
        // Nothing but the file is ever written, and reading changes nothing.
        EXPECT_EQ(dir->listing(),
                  before == "none" && bytes(path) == "none" ? Lines{} : Lines{selectionFileName});
        if (c.verb == "names" || c.verb == "load") {
            EXPECT_EQ(bytes(path), before);
        }
    }
}
const bool selectionCases =
    (test::registerCases("SelectionFile", "tests/saved/selectionfile.txt",
                         test::caseSections("tests/saved/selectionfile.txt", {"file", "nofile"}),
                         selectionSection),
     true);

// Random saves and deletes: the file always reads back as a list of the selections says.
TEST(SelectionFile, RandomSavesAndDeletesReadBackAsAModelSays) {
    std::mt19937 random(11);
    const Lines pieces = {"A", "b", " ", "*", "=", "**", "==", "\n", "\r", "QTY"};
    const auto text = [&](unsigned most) {
        std::string made;
        for (unsigned n = random() % (most + 1); n > 0; --n) {
            made += pieces[random() % pieces.size()];
        }
        return made;
    };
    const auto breaks = [](const std::string& t) { return t.find_first_of("\r\n") != t.npos; };
    for (int round = 0; round < 40; ++round) {
        TempDir dir;
        const std::string path = dir.file(selectionFileName);
        std::vector<std::pair<std::string, LoadedSelection>> model;  // names, and what they load
        bool written = false;  // a delete neither reads nor creates a missing file
        for (int step = 0; step < 12; ++step) {
            const std::string name = text(2);
            LoadedSelection s{{}, random() % 2 == 0, {}};
            for (unsigned n = random() % 3; n > 0; --n) {
                s.keys.push_back(text(2));
            }
            if (random() % 4 == 0) {
                const std::string gone = model.empty() || random() % 3 == 0
                                             ? name
                                             : model[random() % model.size()].first;
                std::erase_if(model, [&](const auto& m) { return m.first == gone; });
                Lines names;
                for (auto& [left, loaded] : model) {
                    std::erase(loaded.columns, "");  // a delete drops every empty line
                    names.push_back(left);
                }
                EXPECT_EQ(listed(deleteSelectionFromFile(path, gone)),
                          written ? listed(names) : "none");
                continue;
            }
            bool refused =
                breaks(name) || (s.compress && std::any_of(s.keys.begin(), s.keys.end(), breaks));
            for (unsigned n = random() % 4; n > 0; --n) {
                const std::string& c = s.columns.emplace_back(text(3));
                refused = refused || breaks(c) || c.starts_with("**") || c.starts_with("==");
            }
            const std::string before = bytes(path);
            if (refused) {
                EXPECT_THROW(saveSelectionToFile(path, name, s.columns, s.compress, s.keys), Error);
                EXPECT_EQ(bytes(path), before);
                continue;
            }
            const auto existing = std::count_if(model.begin(), model.end(),
                                                [&](const auto& m) { return m.first == name; });
            EXPECT_EQ(saveSelectionToFile(path, name, s.columns, s.compress, s.keys), existing);
            if (existing == 0) {
                written = true;
                // A key of no name is no key.
                const bool emptyKey = s.keys.size() == 1 && s.keys.front().empty();
                s.keys = s.compress && !emptyKey ? s.keys : Lines{};
                model.emplace_back(name, s);
            }
            for (const auto& [saved, loaded] : model) {
                EXPECT_EQ(shown(loadSelectionFromFile(path, saved)), shown(loaded));
            }
        }
    }
}

}  // namespace
}  // namespace vexlo::saved
