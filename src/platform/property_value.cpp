#include "platform/property_value.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace snaplark::platform {
namespace {

bool stringMeansTrue(std::string_view text)
{
    auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    auto equalsIgnoringCase = [text](std::string_view word) {
        return std::equal(text.begin(), text.end(), word.begin(), word.end(),
                          [](unsigned char a, unsigned char b) { return std::tolower(a) == b; });
    };
    // Text formats hand numbers back as text: one that reads wholly as an integer is that number.
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-'))
        digits.remove_prefix(1);
    const bool integer = !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    if (integer) return digits.find_first_not_of('0') != std::string_view::npos;
    return equalsIgnoringCase("true") || equalsIgnoringCase("yes");
}

}  // namespace

bool boolFromValue(const PropertyValue& value)
{
    if (const auto* b = std::get_if<bool>(&value)) return *b;
    if (const auto* n = std::get_if<std::uint64_t>(&value)) return *n != 0;
    return stringMeansTrue(std::get<std::string>(value));
}

}  // namespace snaplark::platform
