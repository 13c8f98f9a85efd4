#include "common/stringarray.h"

#include <gtest/gtest.h>

namespace vexlo {
namespace {

TEST(StringArray, StartsWithOneEmptyElement) {
    const StringArray array;
    EXPECT_EQ(array.highestIndex(), 0u);
    EXPECT_EQ(array[0], "");
    EXPECT_TRUE(array.appended().empty());
}

TEST(StringArray, AppendsAtHighestIndexPlusOne) {
    StringArray array;
    AddDynamicArray(array, "first");
    AddDynamicArray(array, "");
    AddDynamicArray(array, "third");
    EXPECT_EQ(array.highestIndex(), 3u);
    EXPECT_EQ(array[0], "");
    EXPECT_EQ(array[1], "first");
    EXPECT_EQ(array.appended(), (std::vector<std::string>{"first", "", "third"}));
}

TEST(StringArray, ResetKeepsOnlyElementZero) {
    StringArray array;
    AddDynamicArray(array, "x");
    array.reset();
    EXPECT_EQ(array.highestIndex(), 0u);
    AddDynamicArray(array, "y");
    EXPECT_EQ(array[1], "y");
}

TEST(StringArray, GrowsPastTheOld16BitLimit) {
    StringArray array;
    for (int i = 1; i <= 40000; ++i) {
        AddDynamicArray(array, std::to_string(i));
    }
    EXPECT_EQ(array.highestIndex(), 40000u);
    EXPECT_EQ(array[32768], "32768");
    EXPECT_EQ(array[40000], "40000");
}

}  // namespace
}  // namespace vexlo
