#include <gtest/gtest.h>

#include "platform/x11/terminal_rule.h"

namespace snaplark::platform::x11 {
namespace {

TEST(TerminalRule, KnowsTerminalsByClassOrInstance)
{
    struct Case {
        const char* instance;
        const char* cls;
        TerminalKind kind;
    };
    const Case cases[] = {
        {"gnome-terminal-server", "Gnome-terminal", TerminalKind::shiftChords},
        {"konsole", "konsole", TerminalKind::shiftChords},
        {"xfce4-terminal", "Xfce4-terminal", TerminalKind::shiftChords},
        {"Alacritty", "Alacritty", TerminalKind::shiftChords},
        {"kitty", "kitty", TerminalKind::shiftChords},
        {"st-256color", "St", TerminalKind::shiftChords},
        {"org.wezfurlong.wezterm", "org.wezfurlong.wezterm", TerminalKind::shiftChords},
        {"xterm", "XTerm", TerminalKind::selectionOnly},
        {"xterm", "UXTerm", TerminalKind::selectionOnly},
        {"urxvt", "URxvt", TerminalKind::selectionOnly},
        {"gedit", "Gedit", TerminalKind::none},
        {"", "", TerminalKind::none},
        {"firefox-esr", "firefox-esr", TerminalKind::none},
    };
    for (const Case& c : cases)
        EXPECT_EQ(terminalKindOf(c.instance, c.cls), c.kind) << c.cls;
}

}  // namespace
}  // namespace snaplark::platform::x11
