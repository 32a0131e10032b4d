#!/usr/bin/python3
"""How often the agent wakes on a Wayland session for input that makes no gesture, inside
scripts/wayland-guest: the times any of its threads went to sleep and was woken (voluntary
context switches, from /proc) while 1,000 pointer motion events and then 1,000 letter key events
(500 presses, 500 releases) are written on uinput devices, one a millisecond, each in a report
of its own; and, for comparison, while nothing is written for as long. Each agent given is
measured in turn.

    scripts/wayland-guest -- bench/wayland_wakeups.py AGENT...
"""
import os
import subprocess
import sys
import tempfile
import time

from evdev import InputDevice, UInput, ecodes as e, list_devices

agents = [os.path.abspath(a) for a in sys.argv[1:]] or sys.exit(__doc__)
mouse = UInput({e.EV_KEY: [e.BTN_LEFT], e.EV_REL: [e.REL_X, e.REL_Y]}, name="bench mouse")
keyboard = UInput({e.EV_KEY: [e.KEY_LEFTCTRL, e.KEY_A]}, name="bench keyboard")
EVENTS = 1000


def virtual_keyboard():
    return any(InputDevice(p).name == "Snaplark virtual keyboard" for p in list_devices())


def wakeups(pid):
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            for line in open(f"/proc/{pid}/task/{task}/status"):
                if line.startswith("voluntary_ctxt_switches"):
                    total += int(line.split()[1])
        except FileNotFoundError:
            pass
    return total


def measure(pid, write):
    before = wakeups(pid)
    start = time.monotonic()
    for i in range(EVENTS):
        write(i)
        time.sleep(0.001)
    return wakeups(pid) - before, time.monotonic() - start


print("| agent | per 1,000 motion events | per 1,000 letter key events | idle, as long |")
print("|---|---|---|---|")
for path in agents:
    agent = subprocess.Popen([path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                             env=dict(os.environ, XDG_CONFIG_HOME=tempfile.mkdtemp()))
    deadline = time.monotonic() + 60
    while not virtual_keyboard() and time.monotonic() < deadline:
        time.sleep(0.1)
    time.sleep(2)  # the rest of its start-up
    motion, took = measure(agent.pid, lambda i: (mouse.write(e.EV_REL, e.REL_X, 1 - 2 * (i % 2)),
                                                 mouse.syn()))
    letters, _ = measure(agent.pid, lambda i: (keyboard.write(e.EV_KEY, e.KEY_A, 1 - i % 2),
                                               keyboard.syn()))
    before = wakeups(agent.pid)
    time.sleep(took)
    idle = wakeups(agent.pid) - before
    agent.terminate()
    agent.wait(timeout=30)
    print(f"| {path} | {motion} | {letters} | {idle} |", flush=True)
