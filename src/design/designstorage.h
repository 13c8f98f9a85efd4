#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace vexlo::design {

// An attribute name as a design's storage numbers it: names are equal when their bytes are.
using NameId = std::uint32_t;
constexpr NameId noName = std::numeric_limits<NameId>::max();

// The longest attribute value a design may hold, 1 MiB: no part's field comes near it, and a
// value that does cannot make a table cell, a workbook cell or a report line cost gigabytes.
constexpr std::size_t maxValueBytes = std::size_t{1} << 20;

// Throws Error DesignTooLarge, naming the attribute (and its part's designator when given).
[[noreturn]] void throwValueTooLong(std::string_view name, std::size_t length,
                                    std::string_view refdes);

// Refuses a value longer than maxValueBytes.
inline void checkValueLength(std::string_view name, std::size_t length,
                             std::string_view refdes = {}) {
    if (length > maxValueBytes) {
        throwValueTooLong(name, length, refdes);
    }
}

// An attribute as the storage holds it: its name's number and a view of its value.
struct AttributeEntry {
    NameId name;
    std::uint32_t length;
    const char* value;

    std::string_view Value() const noexcept { return {value, length}; }
};

// What the components of one design share: the table of attribute names, every attribute as an
// entry found by its offset, and the texts the components view. A text is either copied into
// the storage's arena or viewed where it lies in bytes the storage keeps alive (the tool's
// mapped stream), so that a component costs its entries and no allocation of its own.
class DesignStorage final {
public:
    DesignStorage() = default;
    DesignStorage(const DesignStorage&) = delete;
    DesignStorage& operator=(const DesignStorage&) = delete;

    // The name's number, the name copied in when it is new.
    NameId intern(std::string_view name);
    // The same, trying first the number the caller guesses (the name at the same place of the
    // previous component), which saves hashing a design whose components repeat their names.
    NameId intern(std::string_view name, NameId guess);
    // The name's number, or noName when no attribute of the storage has ever had it.
    NameId find(std::string_view name) const noexcept;
    std::string_view name(NameId id) const noexcept { return names_[id]; }
    std::size_t nameCount() const noexcept { return names_.size(); }

    // A copy of the text that lives as long as the storage.
    std::string_view keep(std::string_view text);
    // Keeps bytes alive as long as the storage: texts may then view them instead of copies.
    void keepAlive(std::shared_ptr<const void> owner) { owners_.push_back(std::move(owner)); }

    // Appends an entry; its value must live as long as the storage. Throws Error DesignTooLarge
    // past 2^32 - 1 entries or for a value longer than maxValueBytes.
    void add(NameId name, std::string_view value);
    void reserve(std::size_t entryCount) { entries_.reserve(entryCount); }
    std::size_t entryCount() const noexcept { return entries_.size(); }
    const AttributeEntry* entries() const noexcept { return entries_.data(); }

private:
    struct Slot {
        std::uint32_t hash = 0;
        NameId id = noName;  // free while noName
    };
    std::size_t slotOf(std::string_view name, std::uint32_t hash) const noexcept;
    void grow();

    std::vector<std::string_view> names_;
    std::vector<Slot> slots_;
    std::vector<AttributeEntry> entries_;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* blockFree_ = nullptr;
    std::size_t blockLeft_ = 0;
    std::vector<std::shared_ptr<const void>> owners_;
};

}  // namespace vexlo::design
