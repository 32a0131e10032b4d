#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/event_monitor.h"

namespace snaplark::platform::win32 {

// An application as the pause list remembers it, from its program's path and the FileDescription
// of its version resource: the id is the program's file name in lower case ("firefox.exe"; file
// names are compared without case), the name the description ("Firefox"), or the file name
// without ".exe" where there is none. Both without tabs or line breaks, which would split the
// stored list's lines.
ActiveApplication applicationFromImage(std::wstring_view imagePath,
                                       std::optional<std::wstring> description);

// The same, read from the program's file.
ActiveApplication applicationOfProgram(const std::wstring& imagePath);

// Which application windows belong to: their process's program, named once per program.
class ApplicationNames {
public:
    // The application of the window's process; an empty id when the process cannot be asked
    // (another account's, or gone) or the window is ours.
    ActiveApplication of(HWND window);

private:
    std::map<std::wstring, ActiveApplication> byImage_;
};

}  // namespace snaplark::platform::win32
