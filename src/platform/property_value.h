#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace snaplark::platform {

// A value kept in the settings store or the bundle's information dictionary.
using PropertyValue = std::variant<bool, std::uint64_t, std::string>;

// How every backend reads a stored value as a Boolean: Booleans as they are, numbers true when
// non-zero, strings true when they say "true", "yes" or "1" in any case (surrounding blanks
// ignored); anything else is false.
bool boolFromValue(const PropertyValue& value);

}  // namespace snaplark::platform
