#include <gtest/gtest.h>

#include "platform/property_value.h"

namespace snaplark::platform {
namespace {

TEST(BoolFromValue, ReadsBooleansNumbersAndWords)
{
    struct Case {
        PropertyValue value;
        bool expected;
    };
    const Case cases[] = {
        {true, true},
        {false, false},
        {std::uint64_t{0}, false},
        {std::uint64_t{1}, true},
        {std::uint64_t{0xFFFFFFFFFFFFFFFF}, true},
        {std::string("true"), true},
        {std::string("TRUE"), true},
        {std::string("Yes"), true},
        {std::string("1"), true},
        {std::string("  yes\t"), true},
        {std::string("false"), false},
        {std::string("no"), false},
        {std::string("0"), false},
        {std::string("2"), true},
        {std::string("-1"), true},
        {std::string(" +07 "), true},
        {std::string("000"), false},
        {std::string("-0"), false},
        {std::string("99999999999999999999999"), true},
        {std::string("1.5"), false},
        {std::string("-"), false},
        {std::string("0x10"), false},
        {std::string(""), false},
        {std::string("yes please"), false},
        {std::string("tru"), false},
        {std::string("truee"), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(boolFromValue(c.value), c.expected) << c.value.index();
    }
}

}  // namespace
}  // namespace snaplark::platform
