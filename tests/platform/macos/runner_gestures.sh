#!/bin/bash
# The installed /Applications/Snaplark.app end to end on a GitHub macOS runner, as a user would
# meet it: started by Launch Services, its status item in the menu bar, a Command-drag over text in
# TextEdit copies it, a Command-click in place copies nothing (copies wait for a selection here), a
# Command+Shift+click pastes, the same copy with Dvorak selected (where the runner lets a layout be
# selected), and a quit that leaves no crash report. Every wait ends on its condition or on a
# deadline.
#   tests/platform/macos/runner_gestures.sh DRIVER   (DRIVER: runner_driver.cpp, built)
set -euo pipefail
driver=$1
work=$(mktemp -d)
touch "$work/started"

fail() { echo "FAIL: $*"; echo "--- Snaplark's output"; cat "$work/out" "$work/err" || true; exit 1; }
# until_true SECONDS COMMAND...: runs COMMAND until it succeeds, or fails after SECONDS.
until_true() {
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}
# Status items are the items of the application's extras menu bar (AXExtrasMenuBar).
status_items() {
  [ "$(osascript -e 'tell application "System Events" to count menu bar items of (value of attribute "AXExtrasMenuBar" of application process "Snaplark")')" -ge 1 ]
}
# TextEdit through System Events (the runner allows osascript that, and Accessibility).
textedit() { osascript -e "tell application \"System Events\" to tell process \"TextEdit\" to $1"; }
document() { textedit 'get value of text area 1 of scroll area 1 of window 1'; }
pasteboard_changed() { [ "$(pbpaste)" != "$1" ]; }
document_holds() { document | grep -qF "$1"; }
has_window() { [ "$(textedit 'count windows')" -ge 1 ]; }
not_running() { ! pgrep -x Snaplark; }

# Copies wait for a selection, as a user may choose; the drags below are selections.
defaults write example.snaplark.Snaplark boolCopyOnlyAfterSelection -bool true
open -a /Applications/Snaplark.app --stdout "$work/out" --stderr "$work/err"
until_true 60 status_items || fail "no status item in the menu bar"

for i in 1 2 3 4 5 6; do echo "snaplark probe words line $i alpha beta gamma delta"; done > "$work/probe.txt"
open -a TextEdit "$work/probe.txt"
until_true 30 has_window || fail "TextEdit opened no window"
textedit 'set frontmost to true'
textedit 'set position of window 1 to {100, 100}'
textedit 'set size of window 1 to {800, 500}'
read -r x y w h < <(textedit 'get {position, size} of text area 1 of scroll area 1 of window 1' | tr -d ',')
echo "text area at $x,$y, $w x $h"

copy_check() {
  local sentinel="nothing copied yet $RANDOM"
  printf '%s' "$sentinel" | pbcopy
  "$driver" drag $((x + 4)) $((y + 10)) $((x + w / 2)) $((y + 10))
  until_true 10 pasteboard_changed "$sentinel" || fail "$1: Command-drag copied nothing"
  local copied
  copied=$(pbpaste)
  if [ -z "$copied" ] || ! document | grep -qF "$(printf '%s' "$copied" | head -1)"; then
    fail "$1: the pasteboard holds '$copied', not text of the document"
  fi
  echo "$1: Command-drag copied '$copied'"
}

copy_check "US layout"

# TextEdit keeps the dragged selection: a Command-click in place on its title bar, which leaves the
# selection alone, must not copy it, so the paste that follows brings the marker.
marker="snaplark-paste-$RANDOM"
printf '%s' "$marker" | pbcopy
read -r wx wy ww _ < <(textedit 'get {position, size} of window 1' | tr -d ',')
"$driver" command-click $((wx + ww - 60)) $((wy + 12))
"$driver" paste-click $((x + w / 2)) $((y + h - 20))
if ! until_true 10 document_holds "$marker"; then
  [ "$(pbpaste)" = "$marker" ] || fail "a Command-click in place copied '$(pbpaste)'"
  fail "Command+Shift+click pasted nothing"
fi
echo "a Command-click in place copied nothing; Command+Shift+click pasted '$marker'"

if "$driver" layout com.apple.keylayout.Dvorak; then
  copy_check "Dvorak layout"
  "$driver" layout com.apple.keylayout.US || true
else
  echo "::notice::this runner did not select the Dvorak layout; the Dvorak copy was not tried"
fi

# The quit Apple event, as the Dock's Quit or a logout sends it.
osascript -e 'tell application id "example.snaplark.Snaplark" to quit'
until_true 30 not_running || fail "Snaplark did not quit"
crashes=$(find "$HOME/Library/Logs/DiagnosticReports" /Library/Logs/DiagnosticReports \
  -name 'Snaplark*' -newer "$work/started" 2>/dev/null || true)
[ -z "$crashes" ] || fail "crash reports: $crashes"
echo "--- Snaplark's output"
cat "$work/out" "$work/err"
echo "Snaplark ran, copied, pasted and quit"
