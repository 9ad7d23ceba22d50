#include "platform/Value.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tavrel {
namespace {

TEST(Value, IntegersMustBeExactInTheirType) {
    EXPECT_EQ(valueAsUInt32(Value{std::int64_t{4294967295}}), 4294967295u);
    EXPECT_EQ(valueAsUInt32(Value{std::int64_t{4294967296}}), std::nullopt);
    EXPECT_EQ(valueAsUInt32(Value{std::int64_t{-1}}), std::nullopt);
    EXPECT_EQ(valueAsInt32(Value{std::int64_t{2147483648}}), std::nullopt);
    EXPECT_EQ(valueAsInt32(Value{std::int64_t{-2147483648}}), -2147483647 - 1);
    EXPECT_EQ(valueAsInt32(Value{12.0}), 12);
    EXPECT_EQ(valueAsInt32(Value{12.5}), std::nullopt);
    EXPECT_EQ(valueAsInt32(Value{std::nan("")}), std::nullopt);
    EXPECT_EQ(valueAsInt64(Value{9.3e18}), std::nullopt);
}

TEST(Value, OtherKindsAreNotNumbers) {
    EXPECT_EQ(valueAsInt32(Value{std::string("12")}), std::nullopt);
    EXPECT_EQ(valueAsInt32(Value{true}), std::nullopt);
    EXPECT_EQ(valueAsInt32(Value{}), std::nullopt);
    EXPECT_EQ(valueAsBool(Value{std::int64_t{1}}), std::nullopt);
    EXPECT_EQ(valueAsString(Value{OtherValue{}}), nullptr);
}

}  // namespace
}  // namespace tavrel
