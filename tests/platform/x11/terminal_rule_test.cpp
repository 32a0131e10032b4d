#include <gtest/gtest.h>

#include "platform/x11/terminal_rule.h"

namespace snaplark::platform::x11 {
namespace {

constexpr VirtualKeyCode keyC = 8;
constexpr VirtualKeyCode keyV = 9;
constexpr ModifierFlags command = 0x100000;

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

TEST(TerminalRule, ChordsPerKindOfWindow)
{
    const Chord copy = chordFor(TerminalKind::none, keyC, command);
    EXPECT_FALSE(copy.skip);
    EXPECT_TRUE(copy.control);
    EXPECT_FALSE(copy.shift);
    EXPECT_EQ(copy.key, ChordKey::c);

    const Chord terminalPaste = chordFor(TerminalKind::shiftChords, keyV, command);
    EXPECT_TRUE(terminalPaste.control);
    EXPECT_TRUE(terminalPaste.shift);
    EXPECT_EQ(terminalPaste.key, ChordKey::v);

    EXPECT_TRUE(chordFor(TerminalKind::selectionOnly, keyC, command).skip);
    const Chord xtermPaste = chordFor(TerminalKind::selectionOnly, keyV, command);
    EXPECT_FALSE(xtermPaste.skip);
    EXPECT_FALSE(xtermPaste.control);
    EXPECT_TRUE(xtermPaste.shift);
    EXPECT_EQ(xtermPaste.key, ChordKey::insert);
}

TEST(TerminalRule, KeysWithoutAPositionAreSkipped)
{
    EXPECT_TRUE(chordFor(TerminalKind::none, 0, command).skip);
    EXPECT_TRUE(chordFor(TerminalKind::none, 10, command).skip);
}

}  // namespace
}  // namespace snaplark::platform::x11
