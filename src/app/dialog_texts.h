#pragma once

#include <string_view>

namespace snaplark::dialog_texts {

inline constexpr std::string_view aboutTitleWithoutVersion = "Snaplark";
inline constexpr std::string_view aboutTitlePrefix = "Snaplark beta ";
inline constexpr std::string_view aboutPurpose =
    "Useful utility app to copy & paste contents on any windows.";
inline constexpr std::string_view aboutCredit = " Developer: Snaplark team (team@snaplark.example)";

inline constexpr std::string_view howToUseTitle = "How To Use";
// U+2318 is the Command-key symbol, U+21E7 the Shift-key symbol, both as UTF-8.
inline constexpr std::string_view howToUseText =
    "Allow Snaplark on Security & Privacy-Privacy-Accessibility \n"
    "\n"
    " Copy: \xE2\x8C\x98(Command) + Drag\n"
    " Paste: \xE2\x8C\x98 + \xE2\x87\xA7(Shift) + Click";

// The same help where the shortcut key is Control: there is no permission to grant.
inline constexpr std::string_view howToUseTextControlKey = " Copy: Ctrl + Drag\n"
                                                           " Paste: Ctrl + Shift + Click";

inline constexpr std::string_view okButton = "OK";

}  // namespace snaplark::dialog_texts
