#include <gtest/gtest.h>

#include "platform/terminal_rule.h"

namespace snaplark::platform {
namespace {

// Every name the rule knows, each as a WM_CLASS class, as an instance and as a Wayland
// application id: a name dropped from the table, or a kind changed, fails here.
TEST(TerminalRule, KnowsEveryTerminalByClassInstanceOrApplicationId)
{
    struct Case {
        const char* name;
        TerminalKind kind;
    };
    const Case cases[] = {
        {"xterm", TerminalKind::selectionOnly},
        {"UXTerm", TerminalKind::selectionOnly},
        {"URxvt", TerminalKind::selectionOnly},
        {"rxvt", TerminalKind::selectionOnly},
        {"gnome-terminal", TerminalKind::shiftChords},
        {"Gnome-terminal-server", TerminalKind::shiftChords},
        {"konsole", TerminalKind::shiftChords},
        {"Xfce4-terminal", TerminalKind::shiftChords},
        {"Alacritty", TerminalKind::shiftChords},
        {"kitty", TerminalKind::shiftChords},
        {"foot", TerminalKind::shiftChords},
        {"footclient", TerminalKind::shiftChords},
        {"Tilix", TerminalKind::shiftChords},
        {"Terminator", TerminalKind::shiftChords},
        {"org.wezfurlong.wezterm", TerminalKind::shiftChords},
        {"wezterm", TerminalKind::shiftChords},
        {"St", TerminalKind::shiftChords},
        {"st-256color", TerminalKind::shiftChords},
        {"Lxterminal", TerminalKind::shiftChords},
        {"qterminal", TerminalKind::shiftChords},
        {"Mate-terminal", TerminalKind::shiftChords},
        {"terminology", TerminalKind::shiftChords},
        {"org.gnome.Terminal", TerminalKind::shiftChords},
        {"org.gnome.Console", TerminalKind::shiftChords},
        {"org.kde.konsole", TerminalKind::shiftChords},
        {"com.gexperts.Tilix", TerminalKind::shiftChords},
        {"org.xfce.terminal", TerminalKind::shiftChords},
        {"com.mitchellh.ghostty", TerminalKind::shiftChords},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(terminalKindOf("", c.name), c.kind) << "class " << c.name;
        EXPECT_EQ(terminalKindOf(c.name, "Other"), c.kind) << "instance " << c.name;
        EXPECT_EQ(terminalKindOf(c.name, c.name), c.kind) << "application id " << c.name;
    }
}

TEST(TerminalRule, OtherApplicationsAreNone)
{
    for (const char* name : {"", "gedit", "Gedit", "firefox-esr", "org.gnome.TextEditor", "xterm2",
                             "term", "konsole-like"}) {
        EXPECT_EQ(terminalKindOf(name, name), TerminalKind::none) << name;
    }
}

}  // namespace
}  // namespace snaplark::platform
