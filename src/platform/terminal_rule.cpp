#include "platform/terminal_rule.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace snaplark::platform {
namespace {

struct KnownTerminal {
    std::string_view name;  // WM_CLASS instance or class, lower case
    TerminalKind kind;
};

// xterm sends ^C for Ctrl+Shift+C as well; urxvt takes Ctrl+Shift as the start of its keycap
// input mode. Both paste the PRIMARY selection with Shift+Insert.
// X11 WM_CLASS names, and the application ids Wayland terminals give themselves.
constexpr std::array<KnownTerminal, 32> knownTerminals{{
    {"xterm", TerminalKind::selectionOnly},
    {"uxterm", TerminalKind::selectionOnly},
    {"urxvt", TerminalKind::selectionOnly},
    {"rxvt", TerminalKind::selectionOnly},
    {"gnome-terminal", TerminalKind::shiftChords},
    {"gnome-terminal-server", TerminalKind::shiftChords},
    {"konsole", TerminalKind::shiftChords},
    {"xfce4-terminal", TerminalKind::shiftChords},
    {"alacritty", TerminalKind::shiftChords},
    {"kitty", TerminalKind::shiftChords},
    {"foot", TerminalKind::shiftChords},
    {"tilix", TerminalKind::shiftChords},
    {"terminator", TerminalKind::shiftChords},
    {"org.wezfurlong.wezterm", TerminalKind::shiftChords},
    {"wezterm", TerminalKind::shiftChords},
    {"st", TerminalKind::shiftChords},
    {"st-256color", TerminalKind::shiftChords},
    {"lxterminal", TerminalKind::shiftChords},
    {"qterminal", TerminalKind::shiftChords},
    {"mate-terminal", TerminalKind::shiftChords},
    {"terminology", TerminalKind::shiftChords},
    {"footclient", TerminalKind::shiftChords},
    {"org.gnome.terminal", TerminalKind::shiftChords},
    {"org.gnome.console", TerminalKind::shiftChords},
    {"org.kde.konsole", TerminalKind::shiftChords},
    {"com.gexperts.tilix", TerminalKind::shiftChords},
    {"org.xfce.terminal", TerminalKind::shiftChords},
    {"com.mitchellh.ghostty", TerminalKind::shiftChords},
    {"ghostty", TerminalKind::shiftChords},
    // Ptyxis's settings schema and GNOME Console's accelerators default to Ctrl+Shift+C and V;
    // on X11 their instance names are their programs, ptyxis and kgx.
    {"org.gnome.ptyxis", TerminalKind::shiftChords},
    {"ptyxis", TerminalKind::shiftChords},
    {"kgx", TerminalKind::shiftChords},
}};

std::string lowered(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

TerminalKind kindOfName(std::string_view name)
{
    const std::string key = lowered(name);
    for (const KnownTerminal& terminal : knownTerminals) {
        if (terminal.name == key) return terminal.kind;
    }
    return TerminalKind::none;
}

}  // namespace

TerminalKind terminalKindOf(std::string_view instanceName, std::string_view className)
{
    const TerminalKind byClass = kindOfName(className);
    return byClass != TerminalKind::none ? byClass : kindOfName(instanceName);
}

}  // namespace snaplark::platform
