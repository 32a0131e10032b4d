#!/usr/bin/env bash
# The two forms of the GNOME Shell extension (modules for GNOME 45 and later, the older form for
# 43 and 44) share one body; it must not drift apart.
set -euo pipefail
body() { sed -n '/^\/\/ --- shared body ---$/,/^\/\/ --- end of shared body ---$/p' "$1"; }
dir=$1
a=$(body "$dir/snaplark@snaplark.example/extension.js")
b=$(body "$dir/snaplark-legacy@snaplark.example/extension.js")
[ -n "$a" ] || { echo "no shared body found" >&2; exit 1; }
if [ "$a" != "$b" ]; then
  diff <(echo "$a") <(echo "$b") >&2
  exit 1
fi
