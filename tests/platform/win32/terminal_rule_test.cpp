#include <gtest/gtest.h>

#include "platform/win32/terminal_rule.h"

namespace snaplark::platform::win32 {
namespace {

TEST(ConsoleRule, KnowsConsolesByWindowClass)
{
    EXPECT_EQ(consoleKindOf("ConsoleWindowClass"), TerminalKind::shiftChords);
    EXPECT_EQ(consoleKindOf("CASCADIA_HOSTING_WINDOW_CLASS"), TerminalKind::shiftChords);
    EXPECT_EQ(consoleKindOf("PuTTY"), TerminalKind::selectionOnly);
    EXPECT_EQ(consoleKindOf("mintty"), TerminalKind::selectionOnly);
    EXPECT_EQ(consoleKindOf("Notepad"), TerminalKind::none);
    EXPECT_EQ(consoleKindOf("consolewindowclass"), TerminalKind::none);
    EXPECT_EQ(consoleKindOf(""), TerminalKind::none);
}

}  // namespace
}  // namespace snaplark::platform::win32
