#!/usr/bin/env bash
# soak.sh SNAPLARK_SIM: random gestures, menu choices, ticks, clicks, store edits and restarts must
# end with no sanitizer error or leak, and peak memory must not grow with the length of the run.
set -euo pipefail
[ -x /usr/bin/time ] || { echo "skipped: /usr/bin/time is not installed"; exit 77; }
sim=$1

peak_kb() {  # peak_kb EVENTS: the peak resident set in kB of a soak that long
  # "Preference" first and after each restart makes every "prefs" line valid.
  awk -v n="$1" 'BEGIN {
    srand(7)
    split("0 0x20000 0x40000 0x80000 0x100000 0x120000 0x110000 0x1e0000 0x100008", flags, " ")
    split("choose Disable|choose Indefinitely|choose 1 Hour|choose 3 Hour|choose 6 Hour|choose 10 Hour|choose About Snaplark|choose How to use|tick 100|prefs copy|prefs paste|defaults remove boolEnableCopy|defaults set boolEnablePaste true|click-status|print state", other, "|")
    print "choose Preference"
    for (i = 0; i < n; i++) {
      r = rand() * 100
      if (r < 90) print (r < 45 ? "down " : "up ") flags[1 + int(rand() * 9)]
      else if (r < 99.98) print other[1 + int(rand() * 15)]
      else print "restart\nchoose Preference"
    }
  }' |
    # Freed memory must be given back for peaks to compare: no quarantine. Errors show on stderr.
    ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=0 /usr/bin/time -f %M "$sim" 2>&1 >/dev/null |
    tee -a /dev/stderr | tail -n1
}

short=$(peak_kb 100000)
long=$(peak_kb 1000000)
# Ten times the events may cost a little allocator slack, not memory per event.
[ "$long" -le $((short + 4096)) ] || { echo "FAIL: $short kB after 100000 events, $long kB after 1000000"; exit 1; }
