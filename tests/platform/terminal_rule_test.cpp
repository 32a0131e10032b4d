#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "platform/terminal_rule.h"

namespace snaplark::platform {
namespace {

// Each name, blank-separated, as a WM_CLASS class (or Wayland application id) and as an instance.
void expectKind(TerminalKind kind, const std::string& names)
{
    std::istringstream words(names);
    for (std::string name; words >> name;) {
        EXPECT_EQ(terminalKindOf("", name), kind) << "class " << name;
        EXPECT_EQ(terminalKindOf(name, "Other"), kind) << "instance " << name;
    }
}

// Every name the rule knows, in any case: a name dropped from the table, or a kind changed, fails.
TEST(TerminalRule, KnowsEveryTerminalByClassOrInstance)
{
    expectKind(TerminalKind::selectionOnly, "xterm UXTerm URxvt rxvt");
    expectKind(TerminalKind::shiftChords,
               "gnome-terminal Gnome-terminal-server konsole Xfce4-terminal Alacritty kitty foot "
               "footclient Tilix Terminator org.wezfurlong.wezterm wezterm St st-256color "
               "Lxterminal qterminal Mate-terminal terminology org.gnome.Terminal "
               "org.gnome.Console org.kde.konsole com.gexperts.Tilix org.xfce.terminal "
               "com.mitchellh.ghostty ghostty org.gnome.Ptyxis ptyxis kgx");
    expectKind(TerminalKind::none, "gedit org.gnome.TextEditor xterm2 term");
    // The class decides when both are known.
    EXPECT_EQ(terminalKindOf("xterm", "kitty"), TerminalKind::shiftChords);
}

}  // namespace
}  // namespace snaplark::platform
