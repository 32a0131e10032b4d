#pragma once

#include <map>
#include <string>

#include "platform/property_value.h"

namespace snaplark::platform {

using InfoDictionary = std::map<std::string, PropertyValue, std::less<>>;

inline constexpr const char* shortVersionKey = "CFBundleShortVersionString";
inline constexpr const char* buildVersionKey = "CFBundleVersion";

class Bundle {
public:
    virtual ~Bundle() = default;
    // The application package's information dictionary, or nullptr when it has none.
    virtual const InfoDictionary* infoDictionary() const = 0;
};

// The two version keys the application package carries.
InfoDictionary packageInfoDictionary();

}  // namespace snaplark::platform
