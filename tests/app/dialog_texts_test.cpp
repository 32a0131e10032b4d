#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "app/dialog_texts.h"

namespace snaplark {
namespace {

// UTF-16 code units of well-formed UTF-8: one per code point below U+10000, two above.
std::size_t utf16Length(std::string_view utf8)
{
    std::size_t units = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80) units += (c >= 0xF0) ? 2 : 1;
    }
    return units;
}

TEST(DialogTexts, HowToUseTextIsTheFourLinesWithTheKeySymbols)
{
    EXPECT_EQ(utf16Length(dialog_texts::howToUseText), 114u);
    const std::string command = "\u2318";
    const std::string shift = "\u21E7";
    EXPECT_EQ(std::string(dialog_texts::howToUseText),
              "Allow Snaplark on Security & Privacy-Privacy-Accessibility \n\n Copy: " + command +
                  "(Command) + Drag\n Paste: " + command + " + " + shift + "(Shift) + Click");
}

TEST(DialogTexts, CreditLineNamesATeamAndAnExampleAddress)
{
    const std::string credit(dialog_texts::aboutCredit);
    EXPECT_TRUE(std::regex_match(credit, std::regex(R"( Developer: [^()]+ \([^()@ ]+@[^() ]+\))")))
        << credit;
    EXPECT_NE(credit.find(".example)"), std::string::npos) << credit;
}

}  // namespace
}  // namespace snaplark
