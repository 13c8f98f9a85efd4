#include "saved/selectionfile.h"

#include <algorithm>
#include <cerrno>

#include "common/error.h"
#include "common/stringarray.h"
#include "common/textfile.h"

namespace vexlo::saved {

namespace {

const std::string headerMarker = "**";
const std::string keyMarker = "==";

// The file's lines as the reading takes a file that is missing or cannot be read; whole: a
// read that breaks off reads as none when lenient.
std::optional<std::vector<std::string>> readLines(const std::string& path, Reading reading,
                                                  bool whole) {
    if (reading == Reading::Strict) {
        return readTextLinesOrThrow(path);
    }
    TextLines read = readTextLines(path);
    if (reading == Reading::Lenient) {
        if (!read.opened || (whole && !read.complete)) {
            return std::nullopt;
        }
        return std::move(read.lines);
    }
    // Only a file that is not there counts as empty: a rewrite must never drop lines it did
    // not see.
    if (!read.opened) {
        if (read.errorNumber == ENOENT) {
            return std::vector<std::string>();
        }
        throwFileError(read.errorNumber, "open", path);
    }
    if (!read.complete) {
        throwFileError(read.errorNumber, "read", path);
    }
    return std::move(read.lines);
}

// A text as a message shows it: line breaks written as \r and \n.
std::string visible(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        shown += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    }
    return shown;
}

bool holdsLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// "The column "** A" cannot be saved in the selection "Board": " and the reason.
[[noreturn]] void refuse(const std::string& what, const std::string& text, const std::string& name,
                         const std::string& reason) {
    throw Error(errc::SelectionNotSavable, "The " + what + " \"" + visible(text) +
                                               "\" cannot be saved in the selection \"" +
                                               visible(name) + "\": " + reason);
}

}  // namespace

LineKind lineKind(const std::string& line) {
    if (line.compare(0, 2, headerMarker) == 0) {
        return LineKind::Header;
    }
    if (line.compare(0, 2, keyMarker) == 0) {
        return LineKind::Key;
    }
    return LineKind::Column;
}

std::string sectionName(const std::string& headerLine) {
    return headerLine.substr(std::min<std::size_t>(3, headerLine.size()));
}

std::string keyText(const std::string& keyLine) {
    return keyLine.substr(std::min<std::size_t>(2, keyLine.size()));
}

std::vector<std::string> keysOfText(const std::string& text,
                                    const std::vector<std::string>& columns) {
    if (text.empty()) {
        return {};
    }
    if (text.find('\t') == std::string::npos ||
        std::find(columns.begin(), columns.end(), text) != columns.end()) {
        return {text};
    }
    std::vector<std::string> keys;
    for (std::size_t at = 0;;) {
        const std::size_t tab = text.find('\t', at);
        keys.push_back(text.substr(at, tab - at));
        if (tab == std::string::npos) {
            return keys;
        }
        at = tab + 1;
    }
}

std::string textOfKeys(const std::vector<std::string>& keys) {
    std::string text;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        text += (i == 0 ? "" : "\t") + keys[i];
    }
    return text;
}

std::vector<std::string> selectionNames(const std::vector<std::string>& lines) {
    std::vector<std::string> names;
    for (const auto& line : lines) {
        if (lineKind(line) == LineKind::Header) {
            names.push_back(sectionName(line));
        }
    }
    return names;
}

LoadedSelection loadSelection(const std::vector<std::string>& lines, const std::string& name) {
    LoadedSelection loaded;
    std::string key;  // the last key line's text
    bool inside = false;
    for (const auto& line : lines) {
        switch (lineKind(line)) {
            case LineKind::Header:
                inside = sectionName(line) == name;
                loaded.sections += inside ? 1 : 0;
                break;
            case LineKind::Key:
                if (inside) {
                    loaded.compress = true;
                    key = keyText(line);
                }
                break;
            case LineKind::Column:
                if (inside) {
                    loaded.columns.push_back(line);
                }
                break;
        }
    }
    loaded.keys = keysOfText(key, loaded.columns);
    return loaded;
}

std::vector<std::string> appendSelection(const std::vector<std::string>& lines,
                                         const std::string& name,
                                         const std::vector<std::string>& columns, bool compress,
                                         const std::vector<std::string>& keys) {
    StringArray saveLines;
    for (const auto& line : lines) {
        AddDynamicArray(saveLines, line);
    }
    AddDynamicArray(saveLines, headerMarker + " " + name);
    for (const auto& column : columns) {
        AddDynamicArray(saveLines, column);
    }
    if (compress) {
        AddDynamicArray(saveLines, keyMarker + textOfKeys(keys));
    }
    return saveLines.appended();
}

int sectionCount(const std::vector<std::string>& lines, const std::string& name) {
    int count = 0;
    for (const auto& line : lines) {
        if (lineKind(line) == LineKind::Header && sectionName(line) == name) {
            ++count;
        }
    }
    return count;
}

std::vector<std::string> removeSelection(const std::vector<std::string>& lines,
                                         const std::string& name) {
    StringArray keepLines;
    bool deleting = false;
    for (const auto& line : lines) {
        if (lineKind(line) == LineKind::Header) {
            deleting = sectionName(line) == name;
            if (!deleting) {
                AddDynamicArray(keepLines, line);
            }
        } else if (!deleting && !line.empty()) {
            AddDynamicArray(keepLines, line);
        }
    }
    return keepLines.appended();
}

std::optional<std::vector<std::string>> readSelectionNames(const std::string& path,
                                                           Reading reading) {
    const auto lines = readLines(path, reading, false);
    if (!lines) {
        return std::nullopt;
    }
    return selectionNames(*lines);
}

std::optional<LoadedSelection> loadSelectionFromFile(const std::string& path,
                                                     const std::string& name, Reading reading) {
    const auto lines = readLines(path, reading, true);
    if (!lines) {
        return std::nullopt;
    }
    return loadSelection(*lines, name);
}

void checkSavable(const std::string& name, const std::vector<std::string>& columns, bool compress,
                  const std::vector<std::string>& keys) {
    const std::string lineBreak = "it holds a line break, which would split its line";
    if (holdsLineBreak(name)) {
        throw Error(errc::SelectionNotSavable,
                    "The selection name \"" + visible(name) + "\" cannot be saved: " + lineBreak);
    }
    for (const auto& column : columns) {
        if (holdsLineBreak(column)) {
            refuse("column", column, name, lineBreak);
        }
        if (lineKind(column) == LineKind::Header) {
            refuse("column", column, name,
                   "a line beginning with \"**\" reads back as a selection name");
        }
        if (lineKind(column) == LineKind::Key) {
            refuse("column", column, name, "a line beginning with \"==\" reads back as the key");
        }
    }
    if (!compress) {
        return;
    }
    for (const auto& key : keys) {
        if (holdsLineBreak(key)) {
            refuse("key", key, name, lineBreak);
        }
    }
    // One key without a name is the empty key, written as no key at all.
    const bool emptyKey = keys.size() == 1 && keys.front().empty();
    const std::string text = textOfKeys(keys);
    if (!emptyKey && keysOfText(text, columns) != keys) {
        std::string shown;  // the TABs made visible
        for (const char c : text) {
            shown += c == '\t' ? std::string("\\t") : std::string(1, c);
        }
        refuse("key", shown, name,
               "a TAB separates the keys of a selection, so it would read back as other keys");
    }
}

int saveSelectionToFile(const std::string& path, const std::string& name,
                        const std::vector<std::string>& columns, bool compress,
                        const std::vector<std::string>& keys) {
    checkSavable(name, columns, compress, keys);
    const std::vector<std::string> lines = *readLines(path, Reading::MissingIsEmpty, true);
    const int existing = sectionCount(lines, name);
    if (existing == 0) {
        writeTextLines(path, appendSelection(lines, name, columns, compress, keys));
    }
    return existing;
}

std::optional<Deletion> deleteSelectionFromFile(const std::string& path, const std::string& name) {
    const auto lines = readLines(path, Reading::Lenient, true);
    if (!lines) {
        return std::nullopt;
    }
    const std::vector<std::string> kept = removeSelection(*lines, name);
    writeTextLines(path, kept);
    return Deletion{selectionNames(kept), sectionCount(*lines, name)};
}

}  // namespace vexlo::saved
