#!/usr/bin/python3
"""Reaction latency of the agent on a Wayland session, inside scripts/wayland-guest: from the
moment a uinput mouse's button release is written (Control held on a uinput keyboard) to the
copy chord's C key-down read from the agent's virtual keyboard. Both ends are read by this one
process on one clock; Python's own cost is in the figures.

    scripts/wayland-guest -- bench/wayland_latency.py BUILD_DIR [GESTURES]

With --root, the agent runs as the session's user with no access to any device and goes through
the input service, which the bench starts as root:

    scripts/wayland-guest --root -- bench/wayland_latency.py BUILD_DIR [GESTURES]
"""
import os
import select
import statistics
import subprocess
import sys
import tempfile
import time

from evdev import InputDevice, UInput, ecodes as e, list_devices

build = os.path.abspath(sys.argv[1])
gestures = int(sys.argv[2]) if len(sys.argv) > 2 else 500
keyboard = UInput({e.EV_KEY: [e.KEY_LEFTCTRL]}, name="bench keyboard")
mouse = UInput({e.EV_KEY: [e.BTN_LEFT], e.EV_REL: [e.REL_X, e.REL_Y]}, name="bench mouse")
env = dict(os.environ, XDG_CONFIG_HOME=tempfile.mkdtemp())
through_service = os.geteuid() == 0
run_as = []
if through_service:
    import pwd
    user = pwd.getpwnam(os.environ["WAYLAND_GUEST_USER"])
    os.chown(env["XDG_CONFIG_HOME"], user.pw_uid, user.pw_gid)
    # Started as root, the service becomes its own user, which the package makes.
    if subprocess.run(["getent", "passwd", "snaplark-inputd"], capture_output=True).returncode:
        subprocess.run(["useradd", "--system", "--no-create-home", "--groups", "input",
                        "snaplark-inputd"], check=True)
    service = subprocess.Popen([os.path.join(build, "snaplark-inputd"), "--user", user.pw_name],
                               stderr=subprocess.DEVNULL)
    while not os.path.exists("/run/snaplark/inputd.sock"):
        time.sleep(0.05)
    run_as = ["setpriv", f"--reuid={user.pw_uid}", f"--regid={user.pw_gid}", "--clear-groups"]
agent = subprocess.Popen(run_as + [os.path.join(build, "snaplark"), "--input=evdev"],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)


def virtual_keyboard():
    for path in list_devices():
        device = InputDevice(path)
        if device.name == "Snaplark virtual keyboard":
            return device
    return None


deadline = time.monotonic() + 20
agents = None
while agents is None and time.monotonic() < deadline:
    agents = virtual_keyboard()
    time.sleep(0.1)
if agents is None:
    sys.exit("the agent made no virtual keyboard")
time.sleep(1)


def write(device, type_, code, value):
    device.write(type_, code, value)
    device.syn()


def chord_key_down(timeout):
    end = time.perf_counter() + timeout
    while True:
        left = end - time.perf_counter()
        if left <= 0 or not select.select([agents.fd], [], [], left)[0]:
            return None
        for event in agents.read():
            if event.type == e.EV_KEY and event.code == e.KEY_C and event.value == 1:
                return time.perf_counter_ns()


# The emulated kernel's own share: a release written on the mouse, read back from its node.
mouse_node = next(InputDevice(p) for p in list_devices() if InputDevice(p).name == "bench mouse")
kernel = []
for _ in range(gestures):
    write(mouse, e.EV_KEY, e.BTN_LEFT, 1)
    while select.select([mouse_node.fd], [], [], 0.05)[0]:
        list(mouse_node.read())
    sent = time.perf_counter_ns()
    write(mouse, e.EV_KEY, e.BTN_LEFT, 0)
    select.select([mouse_node.fd], [], [], 1.0)
    kernel.append((time.perf_counter_ns() - sent) / 1000)
    list(mouse_node.read())
    time.sleep(0.005)
mouse_node.close()
time.sleep(0.5)

samples = []
write(keyboard, e.EV_KEY, e.KEY_LEFTCTRL, 1)
for _ in range(gestures):
    write(mouse, e.EV_KEY, e.BTN_LEFT, 1)
    time.sleep(0.01)
    # Whatever is still queued (the last chord's key-ups) is not this gesture's.
    while select.select([agents.fd], [], [], 0)[0]:
        list(agents.read())
    sent = time.perf_counter_ns()
    write(mouse, e.EV_KEY, e.BTN_LEFT, 0)
    got = chord_key_down(1.0)
    if got is not None:
        samples.append((got - sent) / 1000)
    time.sleep(0.02)
write(keyboard, e.EV_KEY, e.KEY_LEFTCTRL, 0)
agent.terminate()
agent.wait(timeout=10)
if through_service:
    service.terminate()
    service.wait(timeout=10)

if len(samples) < gestures * 0.9:
    sys.exit(f"only {len(samples)} of {gestures} gestures were answered")

def row(label, values):
    values = sorted(values)
    p = lambda q: values[min(len(values) - 1, int(q * len(values)))]
    print(f"| {label} | {len(values)} | {statistics.median(values):.0f} µs | {p(0.9):.0f} µs | "
          f"{p(0.99):.0f} µs |")


print("| measured in the emulated guest (QEMU TCG, sway) | gestures | median | p90 | p99 |")
print("|---|---|---|---|---|")
row("uinput write to evdev read of the same event (the kernel alone)", kernel)
row("Snaplark" + (" through snaplark-inputd" if through_service else "") +
    ": button release to the copy chord's C", samples)
