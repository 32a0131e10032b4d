#!/usr/bin/env bash
# The typist's give-back, with the user's let-go placed exactly between its look and the give-back.
source "$(dirname "$0")/lib.sh"
start_x
"$build/tests/snaplark_give_back_test"
