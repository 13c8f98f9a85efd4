#include "design/designstorage.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "common/error.h"

namespace vexlo::design {

namespace {

// Arena blocks: small texts share one; a long text gets a block of its own.
constexpr std::size_t blockSize = 64 * 1024;

std::uint32_t hashOf(std::string_view name) noexcept {
    return static_cast<std::uint32_t>(std::hash<std::string_view>{}(name));
}

}  // namespace

void throwValueTooLong(std::string_view name, std::size_t length, std::string_view refdes) {
    throw Error(errc::DesignTooLarge, "The design's attribute \"" + std::string(name) + "\"" +
                                          (refdes.empty() ? "" : " of " + std::string(refdes)) +
                                          " holds " + std::to_string(length) +
                                          " bytes, more than the " + std::to_string(maxValueBytes) +
                                          " this program reads");
}

std::size_t DesignStorage::slotOf(std::string_view name, std::uint32_t hash) const noexcept {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.id == noName || (slot.hash == hash && names_[slot.id] == name)) {
            return at;
        }
    }
}

void DesignStorage::grow() {
    std::vector<Slot> old(std::max<std::size_t>(16, slots_.size() * 2));
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.id == noName) {
            continue;
        }
        std::size_t at = slot.hash & mask;
        while (slots_[at].id != noName) {
            at = (at + 1) & mask;
        }
        slots_[at] = slot;
    }
}

NameId DesignStorage::intern(std::string_view name) {
    // At most half the slots are taken, so that probe sequences stay short.
    if ((names_.size() + 1) * 2 > slots_.size()) {
        grow();
    }
    const std::uint32_t hash = hashOf(name);
    Slot& slot = slots_[slotOf(name, hash)];
    if (slot.id == noName) {
        if (names_.size() >= noName) {
            throw Error(errc::DesignTooLarge, "The design has more attribute names than the " +
                                                  std::to_string(noName) + " this program reads");
        }
        slot = Slot{hash, static_cast<NameId>(names_.size())};
        names_.push_back(keep(name));
    }
    return slot.id;
}

NameId DesignStorage::intern(std::string_view name, NameId guess) {
    return guess < names_.size() && names_[guess] == name ? guess : intern(name);
}

NameId DesignStorage::find(std::string_view name) const noexcept {
    if (slots_.empty()) {
        return noName;
    }
    return slots_[slotOf(name, hashOf(name))].id;
}

std::string_view DesignStorage::keep(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    if (text.size() > blockLeft_) {
        const std::size_t size = std::max(blockSize, text.size());
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        // A long text's block is its own; the current block keeps serving short ones.
        if (size > blockSize) {
            std::memcpy(blocks_.back().get(), text.data(), text.size());
            return {blocks_.back().get(), text.size()};
        }
        blockFree_ = blocks_.back().get();
        blockLeft_ = size;
    }
    std::memcpy(blockFree_, text.data(), text.size());
    const std::string_view kept(blockFree_, text.size());
    blockFree_ += text.size();
    blockLeft_ -= text.size();
    return kept;
}

void DesignStorage::add(NameId name, std::string_view value) {
    if (entries_.size() >= std::numeric_limits<std::uint32_t>::max()) {
        throw Error(errc::DesignTooLarge,
                    "The design has more attributes than the " +
                        std::to_string(std::numeric_limits<std::uint32_t>::max()) +
                        " this program reads");
    }
    checkValueLength(names_[name], value.size());
    entries_.push_back(
        AttributeEntry{name, static_cast<std::uint32_t>(value.size()), value.data()});
}

}  // namespace vexlo::design
