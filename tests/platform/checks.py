# Checks that report as TAP lines, and waits on conditions with generous bounds, for the desktop
# tests written in Python.
import sys
import time

failures = 0


def check(ok, what):
    global failures
    print(("ok - " if ok else "not ok - ") + what, flush=True)
    failures += 0 if ok else 1
    return ok


def wait_for(predicate, seconds=60):
    deadline = time.monotonic() + seconds
    while not (value := predicate()) and time.monotonic() < deadline:
        time.sleep(0.02)
    return value


def finish(logs=()):
    """Exits with the checks' verdict; after a failure, with the ends of the logs named."""
    for log in logs if failures else ():
        print(f"# ----- {log}", flush=True)
        for line in open(log, errors="replace").readlines()[-40:]:
            print(f"# {line.rstrip()}", flush=True)
    sys.exit(f"{failures} checks failed" if failures else 0)
