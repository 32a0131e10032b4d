#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace snaplark::platform {

// A value kept in the settings store or the bundle's information dictionary.
using PropertyValue = std::variant<bool, std::uint64_t, std::string>;

// How every backend reads a stored value as a Boolean: Booleans as they are, numbers true when
// non-zero, strings that read wholly as a decimal integer as that number, other strings true when
// they say "true" or "yes" in any case (surrounding blanks ignored); anything else is false.
bool boolFromValue(const PropertyValue& value);

}  // namespace snaplark::platform
