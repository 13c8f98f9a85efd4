#include "common/error.h"

#include <gtest/gtest.h>

namespace vexlo {
namespace {

TEST(Error, MessageShowsNumberAndDescription) {
    EXPECT_EQ(errorMessage(Error(53, "File not found")), "Error 53: File not found");
}

TEST(Error, ForeignExceptionsBecomeInternalErrors) {
    EXPECT_EQ(errorMessage(asError(std::out_of_range("index 9"))),
              "Error 51: Internal error: index 9");
    EXPECT_EQ(errorMessage(asError(std::bad_alloc())), "Error 7: Out of memory");
    EXPECT_EQ(asError(Error(429, "gone")).number, 429);
}

}  // namespace
}  // namespace vexlo
