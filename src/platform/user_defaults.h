#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/property_value.h"

namespace snaplark::platform {

// A handle on the current user's settings of the application; every handle sees the same values.
class UserDefaults {
public:
    virtual ~UserDefaults() = default;
    // The stored value, or nothing when the key holds none.
    virtual std::optional<PropertyValue> objectForKey(std::string_view key) = 0;
    // The stored value read by boolFromValue; false when the key holds none.
    virtual bool boolForKey(std::string_view key) = 0;
    // Stored, visible at once through any handle, and still there at the next launch.
    virtual void setBool(bool value, std::string_view key) = 0;
    virtual void setString(const std::string& value, std::string_view key) = 0;
};

class UserDefaultsStore {
public:
    virtual ~UserDefaultsStore() = default;
    virtual std::unique_ptr<UserDefaults> open() = 0;
};

}  // namespace snaplark::platform
