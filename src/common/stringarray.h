#pragma once

#include <string>
#include <vector>

namespace vexlo {

// A growable array of strings whose element 0 is an unused empty slot: after n appends the
// strings sit at indexes 1 to n. The 16-bit index limit of the original array is not kept, so a
// long list is never cut short.
class StringArray {
public:
    StringArray() : elements_(1) {}

    // Back to the single empty element 0.
    void reset() { elements_.assign(1, std::string()); }

    // Elements 1 to the highest index, in order.
    std::vector<std::string> appended() const { return {elements_.begin() + 1, elements_.end()}; }

    // Keeps its old name: appends one element after the highest index.
    friend void AddDynamicArray(StringArray& array, std::string text) {
        array.elements_.push_back(std::move(text));
    }

private:
    std::vector<std::string> elements_;
};

}  // namespace vexlo
