#include "common/characters.h"

#include <gtest/gtest.h>

namespace vexlo {
namespace {

struct CountCase {
    const char* text;
    std::size_t expected;
};

class CharacterCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(CharacterCount, CountsCodePoints) {
    EXPECT_EQ(characterCount(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, CharacterCount,
                         ::testing::Values(CountCase{"", 0}, CountCase{"abc", 3},
                                           CountCase{"\xc2\xb5H", 2}, CountCase{"10\xce\xa9", 3},
                                           CountCase{"\xe2\x82\xac", 1},
                                           CountCase{"\xf0\x9f\x94\x8c", 1},
                                           // Bytes of another encoding count one each.
                                           CountCase{"\xb5H", 2}, CountCase{"\xe9t\xe9", 3},
                                           CountCase{"\xe2\x82", 2}));

TEST(WithoutLastCharacters, DropsCodePointsNotBytes) {
    EXPECT_EQ(withoutLastCharacters("/jobs/amp/sch/", 4), "/jobs/amp/");
    EXPECT_EQ(withoutLastCharacters("/jobs/\xc3\xa4mp/s\xc3\xa9h/", 4), "/jobs/\xc3\xa4mp/");
    EXPECT_EQ(withoutLastCharacters("abcd", 4), "");
    EXPECT_EQ(withoutLastCharacters("abc", 4), std::nullopt);
    EXPECT_EQ(withoutLastCharacters("\xc3\xa4\xc3\xa4\xc3\xa4", 4), std::nullopt);
    EXPECT_EQ(withoutLastCharacters("abc", 0), "abc");
}

}  // namespace
}  // namespace vexlo
