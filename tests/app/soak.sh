#!/usr/bin/env bash
# A soak of the whole agent on the headless platform: a million random presses, releases, menu
# choices, ticks, checkbox clicks, store edits and restarts (each window stays open in the
# simulator, so only a restart opens a new preferences window). Under the sanitizers it must end with
# no leak and no error, and its peak memory must not grow with the length of the run.
#   soak.sh SNAPLARK_SIM
set -euo pipefail
sim=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

script() {  # script EVENTS SEED
  awk -v n="$1" -v seed="$2" 'BEGIN {
    srand(seed)
    split("0 0x20000 0x40000 0x80000 0x100000 0x120000 0x110000 0x1e0000 0x100008", flags, " ")
    split("Disable|Indefinitely|1 Hour|3 Hour|6 Hour|10 Hour|About Snaplark|How to use", entries, "|")
    for (i = 0; i < n; i++) {
      r = int(rand() * 100)
      if (r < 45) print "down " flags[1 + int(rand() * 9)]
      else if (r < 90) print "up " flags[1 + int(rand() * 9)]
      else if (r < 94) print "choose " entries[1 + int(rand() * 8)]
      else if (r < 96) print "tick " int(rand() * 100)
      else if (r < 97) print "prefs " (rand() < 0.5 ? "copy" : "paste")
      else if (r < 98) print "defaults " (rand() < 0.5 ? "remove boolEnableCopy" : "set boolEnablePaste true")
      else if (r < 99) print "click-status"
      else if (int(rand() * 50) == 0) print "restart\nchoose Preference"
      else print "print state"
    }
  }'
}

peak_kb() {  # peak_kb EVENTS: runs the soak and prints the peak resident set in kB
  script "$1" 7 >"$work/soak.sim"
  # A "Preference" first and after each restart makes every "prefs" line valid.
  sed -i '1i choose Preference' "$work/soak.sim"
  # Freed memory must be given back for peaks to compare, so the sanitizer keeps none in quarantine.
  ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=0 /usr/bin/time -f %M -o "$work/peak" "$sim" "$work/soak.sim" >/dev/null 2>"$work/err" ||
    { echo "FAIL: the soak of $1 events ended with status $?" >&2; cat "$work/err" >&2; exit 1; }
  cat "$work/peak"
}

[ -x /usr/bin/time ] || { echo "skipped: /usr/bin/time is not installed"; exit 77; }
short=$(peak_kb 100000)
long=$(peak_kb 1000000)
echo "peak resident set: $short kB after 100000 events, $long kB after 1000000"
# Ten times the events may cost a little allocator slack, not memory per event.
[ "$long" -le $((short + 4096)) ] || { echo "FAIL: memory grows with the run"; exit 1; }
echo "ok"
