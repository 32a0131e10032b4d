#!/usr/bin/env bash
# Runs one script through snaplark-sim and checks it against the expectations written in it:
#   #> TEXT   a line expected on standard output, in order; "#> start-up" stands for the lines
#             every start prints, which status_menu.sim spells out
#   #! TEXT   a line expected on standard error
#   #? N      the expected exit status (0 when absent)
set -u
sim=$1
script=$2

expected_out=$(sed -n -e 's/^#> start-up$/@policy 2\n@monitor mask 4\n@monitor mask 2\n@timer 60/p' \
  -e 's/^#> //p' -e 's/^#>$//p' "$script")
expected_err=$(sed -n -e 's/^#! //p' "$script")
expected_status=$(sed -n -e 's/^#? //p' "$script")
expected_status=${expected_status:-0}

actual_err_file=$(mktemp)
trap 'rm -f "$actual_err_file"' EXIT
actual_out=$("$sim" "$script" 2>"$actual_err_file")
actual_status=$?
actual_err=$(cat "$actual_err_file")

ok=1
if [ "$actual_out" != "$expected_out" ]; then
  echo "standard output differs (- expected, + actual):"
  diff <(printf '%s\n' "$expected_out") <(printf '%s\n' "$actual_out")
  ok=0
fi
if [ "$actual_err" != "$expected_err" ]; then
  echo "standard error differs (- expected, + actual):"
  diff <(printf '%s\n' "$expected_err") <(printf '%s\n' "$actual_err")
  ok=0
fi
if [ "$actual_status" != "$expected_status" ]; then
  echo "exit status $actual_status, expected $expected_status"
  ok=0
fi
[ "$ok" = 1 ]
