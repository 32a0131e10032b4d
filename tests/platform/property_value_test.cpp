#include <gtest/gtest.h>

#include "platform/property_value.h"

namespace snaplark::platform {
namespace {

// Values other programs may have stored: a non-zero number, "true", "yes" or a non-zero integer
// as text (any case, blanks around) is true; everything else is false.
TEST(BoolFromValue, ReadsBooleansNumbersAndWords)
{
    const std::pair<PropertyValue, bool> cases[] = {
        {true, true},
        {false, false},
        {std::uint64_t{0}, false},
        {std::uint64_t{0xFFFFFFFFFFFFFFFF}, true},
        {std::string("TRUE"), true},
        {std::string("  Yes\t"), true},
        {std::string("no"), false},
        {std::string(" +07 "), true},
        {std::string("-1"), true},
        {std::string("-00"), false},
        {std::string("99999999999999999999999"), true},
        {std::string("1.5"), false},
        {std::string(""), false},
        {std::string("yes please"), false},
        {std::string("tru"), false},
        {std::string("truee"), false},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(boolFromValue(value), expected) << testing::PrintToString(value);
}

}  // namespace
}  // namespace snaplark::platform
