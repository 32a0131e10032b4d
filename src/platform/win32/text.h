#pragma once

#include <string>
#include <string_view>

namespace snaplark::platform::win32 {

// The program's texts are UTF-8; Windows takes and gives UTF-16.
std::wstring wide(std::string_view text);
std::string utf8(std::wstring_view text);

}  // namespace snaplark::platform::win32
