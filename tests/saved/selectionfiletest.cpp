#include "saved/selectionfile.h"

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <random>

#include "casefile.h"
#include "common/error.h"

namespace vexlo::saved {
namespace {

using Lines = std::vector<std::string>;
using test::readFile;
using test::TempDir;
using test::writeFile;

std::string listed(const Lines& entries) {
    std::string text;
    for (const auto& entry : entries) {
        text += "|" + entry;
    }
    return text;
}

std::string listed(const std::optional<Lines>& entries) {
    return entries ? listed(*entries) : "none";
}

std::string shown(const std::optional<LoadedSelection>& loaded) {
    if (!loaded) {
        return "none";
    }
    return listed(loaded->columns) + (loaded->compress ? " ==" + loaded->key : "");
}

// "NAME|COLUMN...[ ==KEY]" saved; the sections already named so, or the error.
std::string save(const std::string& path, const std::string& argument) {
    const auto keyAt = argument.find(" ==");
    const std::string head = argument.substr(0, keyAt);
    const auto bar = head.find('|');
    Lines columns;
    for (auto at = bar; at != std::string::npos;) {
        const auto next = head.find('|', at + 1);
        columns.push_back(head.substr(at + 1, next - at - 1));
        at = next;
    }
    try {
        return std::to_string(
            saveSelectionToFile(path, head.substr(0, bar), columns, keyAt != std::string::npos,
                                keyAt == std::string::npos ? "" : argument.substr(keyAt + 3)));
    } catch (const Error& error) {
        return errorMessage(error);
    }
}

TEST(SelectionFile, Cases) {
    std::unique_ptr<TempDir> dir;
    std::string path;
    for (const auto& c : test::readCases("tests/saved/selectionfile.txt")) {
        SCOPED_TRACE("selectionfile.txt:" + std::to_string(c.number));
        if (c.verb == "file" || c.verb == "nofile") {
            dir = std::make_unique<TempDir>();
            path = dir->file(selectionFileName);
            if (c.verb == "file") {
                writeFile(path, c.argument);
            }
            continue;
        }
        const bool there = std::filesystem::exists(path);
        const std::string before = there ? readFile(path) : "";
        std::string result;
        if (c.verb == "names") {
            result = listed(readSelectionNames(path));
        } else if (c.verb == "load") {
            result = shown(loadSelectionFromFile(path, c.argument));
        } else if (c.verb == "save") {
            result = save(path, c.argument);
        } else if (c.verb == "delete") {
            result = listed(deleteSelectionFromFile(path, c.argument));
        } else {
            ASSERT_EQ(c.verb, "bytes");
            result = std::filesystem::exists(path) ? readFile(path) : "none";
        }
        EXPECT_EQ(result, c.expected);
        // Nothing but the file is ever written, and reading changes nothing.
        EXPECT_EQ(dir->listing(),
                  std::filesystem::exists(path) ? Lines{selectionFileName} : Lines{});
        if (c.verb == "names" || c.verb == "load") {
            EXPECT_EQ(std::filesystem::exists(path) ? readFile(path) : "", before);
            EXPECT_EQ(std::filesystem::exists(path), there);
        }
    }
}

// Random saves and deletes against a list of selections: every selection reads back as saved.
TEST(SelectionFile, RandomSavesAndDeletesReadBackAsAModelSays) {
    struct Saved {
        std::string name;
        Lines columns;
        bool compress;
        std::string key;
    };
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
        std::vector<Saved> model;
        bool written = false;  // a delete neither reads nor creates a missing file
        for (int step = 0; step < 12; ++step) {
            if (random() % 4 == 0) {
                const std::string name = model.empty() || random() % 3 == 0
                                             ? text(2)
                                             : model[random() % model.size()].name;
                std::erase_if(model, [&](const Saved& s) { return s.name == name; });
                for (auto& s : model) {  // a delete drops every empty line
                    std::erase(s.columns, "");
                }
                Lines names;
                for (const auto& s : model) {
                    names.push_back(s.name);
                }
                EXPECT_EQ(listed(deleteSelectionFromFile(path, name)),
                          written ? listed(names) : "none");
            } else {
                Saved s{text(2), {}, random() % 2 == 0, text(2)};
                bool refused = breaks(s.name) || (s.compress && breaks(s.key));
                for (unsigned n = random() % 4; n > 0; --n) {
                    s.columns.push_back(text(3));
                    const auto& c = s.columns.back();
                    refused = refused || breaks(c) || c.starts_with("**") || c.starts_with("==");
                }
                int existing = 0;
                for (const auto& m : model) {
                    existing += m.name == s.name ? 1 : 0;
                }
                const std::string before = std::filesystem::exists(path) ? readFile(path) : "";
                if (refused) {
                    EXPECT_THROW(saveSelectionToFile(path, s.name, s.columns, s.compress, s.key),
                                 Error);
                    EXPECT_EQ(std::filesystem::exists(path) ? readFile(path) : "", before);
                    continue;
                }
                EXPECT_EQ(saveSelectionToFile(path, s.name, s.columns, s.compress, s.key),
                          existing);
                if (existing == 0) {
                    written = true;
                    model.push_back(s);
                }
            }
            for (const auto& s : model) {
                const auto loaded = loadSelectionFromFile(path, s.name);
                ASSERT_TRUE(loaded);
                EXPECT_EQ(loaded->columns, s.columns);
                EXPECT_EQ(loaded->compress, s.compress);
                EXPECT_EQ(loaded->key, s.compress ? s.key : "");
            }
        }
    }
}

// Files that cannot be read or rewritten: the save and delete fail naming the file, the reads
// give nothing, and nothing on disk changes.
TEST(SelectionFile, FilesThatCannotBeRewrittenLoseNothing) {
    const std::string old = test::crlf({"** Board", "REFDES", "** Cables", "Value"});
    struct Case {
        const char* label;
        std::function<std::string(const std::string& folder)> setUp;  // gives the path
        bool unprivileged;
        Lines outcomes;  // save, delete, load, names
    };
    const std::vector<Case> cases = {
        {"MissingFolder",
         [](const std::string& f) { return f + "/gone/" + selectionFileName; },
         false,
         {"53", "none", "none", "none"}},
        {"FolderIsAFile",
         [&](const std::string& f) {
             writeFile(f + "/blocker", old);
             return f + "/blocker/" + selectionFileName;
         },
         false,
         {"76", "none", "none", "none"}},
        {"WriteOnlyFile",
         [&](const std::string& f) {
             writeFile(f + "/" + selectionFileName, old);
             ::chmod((f + "/" + selectionFileName).c_str(), 0222);
             return f + "/" + selectionFileName;
         },
         true,
         {"70", "none", "none", "none"}},
        {"DiskFull",
         [&](const std::string& f) {
             writeFile(f + "/" + selectionFileName, old);
             return f + "/" + selectionFileName;
         },
         false,
         {"61", "61", "|REFDES", "|Board|Cables"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        ::chmod(dir.path().c_str(), 0777);
        const std::string path = c.setUp(dir.path());
        const auto listing = test::listTree(dir.path());
        const std::function<std::string()> operations[] = {
            [&] {
                try {
                    saveSelectionToFile(path, "New", {"Value"}, true, "Value");
                    return std::string("saved");
                } catch (const Error& error) {
                    return error.description.find(path) != std::string::npos
                               ? std::to_string(error.number)
                               : errorMessage(error);
                }
            },
            [&] {
                try {
                    return listed(deleteSelectionFromFile(path, "Board"));
                } catch (const Error& error) {
                    return std::to_string(error.number);
                }
            },
            [&] { return shown(loadSelectionFromFile(path, "Board")); },
            [&] { return listed(readSelectionNames(path)); }};
        for (std::size_t i = 0; i < 4; ++i) {
            std::optional<test::FileSizeLimit> limit;
            if (std::string(c.label) == "DiskFull") {
                limit.emplace(16);
            }
            if (c.unprivileged) {  // the child exits 0 when it met the outcome
                EXPECT_EQ(
                    test::runUnprivileged([&] { return operations[i]() == c.outcomes[i] ? 0 : 1; }),
                    0)
                    << "operation " << i;
            } else {
                EXPECT_EQ(operations[i](), c.outcomes[i]) << "operation " << i;
            }
        }
        ::chmod((dir.path() + "/" + selectionFileName).c_str(), 0644);
        EXPECT_EQ(test::listTree(dir.path()), listing);
        if (std::filesystem::is_regular_file(dir.path() + "/" + selectionFileName)) {
            EXPECT_EQ(readFile(dir.path() + "/" + selectionFileName), old);
        }
    }
}

}  // namespace
}  // namespace vexlo::saved
