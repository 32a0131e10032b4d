#!/usr/bin/python3
# The agent in a real Wayland session (sway) reading real input devices, here the test's own uinput
# keyboard and mouse, and typing on uinput: scripts/wayland-guest -- THIS_FILE BUILD_DIR
import json
import os
import subprocess
import sys
import tempfile
import time

from evdev import InputDevice, UInput, ecodes as e, list_devices
from gi.repository import Gio, GLib

build = os.path.abspath(sys.argv[1])
work = tempfile.mkdtemp()
failures = 0


def check(ok, what):
    global failures
    print(("ok - " if ok else "not ok - ") + what, flush=True)
    failures += 0 if ok else 1


def wait_for(predicate, seconds=10):
    deadline = time.monotonic() + seconds
    while not (value := predicate()) and time.monotonic() < deadline:
        time.sleep(0.05)
    return value


def sway(*args):
    out = subprocess.run(["swaymsg", "-r", *args], check=True, capture_output=True, text=True)
    return json.loads(out.stdout) if out.stdout.strip() else None


def has_input(name):
    return any(i["name"] == name for i in sway("-t", "get_inputs"))


def window(key, value):
    def find(node):
        if node.get(key) == value:
            return node
        return next(filter(None, map(find, node["nodes"] + node["floating_nodes"])), None)
    w = wait_for(lambda: find(sway("-t", "get_tree")), 20)
    return w["rect"]["x"] + w["window_rect"]["x"], w["rect"]["y"] + w["window_rect"]["y"]


keyboard = UInput({e.EV_KEY: [e.KEY_LEFTCTRL]}, name="test keyboard")
mouse = UInput({e.EV_KEY: [e.BTN_LEFT, e.BTN_RIGHT], e.EV_REL: [e.REL_X, e.REL_Y]}, name="test mouse")


def send(device, kind, code, value, pause=0.02):
    device.write(kind, code, value)
    device.syn()
    time.sleep(pause)


def click(x, y, ctrl=False, to_x=None, pause=0.05):
    send(keyboard, e.EV_KEY, e.KEY_LEFTCTRL, int(ctrl))
    # Warped there, then moved by the mouse, so that the window under it hears of the pointer
    # from the device the clicks come from; a drag moves on as a hand would.
    sway("seat", "seat0", "cursor", "set", str(x - 1), str(y))
    send(mouse, e.EV_REL, e.REL_X, 1, pause)
    send(mouse, e.EV_KEY, e.BTN_LEFT, 1, 0.05)
    for _ in range(x, to_x or x, 20):
        send(mouse, e.EV_REL, e.REL_X, 20, 0.01)
    send(mouse, e.EV_KEY, e.BTN_LEFT, 0, 0.05)
    send(keyboard, e.EV_KEY, e.KEY_LEFTCTRL, 0)


check(wait_for(lambda: has_input("test mouse"), 20), "sway has the test's keyboard and mouse")
sway("input", "type:pointer", "accel_profile", "flat")

# A session bus with a StatusNotifierWatcher, where the test itself registers as the tray host
# (as swaybar, waybar or KDE's panel would).
bus_daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                              stdout=subprocess.PIPE, text=True)
os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus_daemon.stdout.readline().strip()
subprocess.Popen(["status-notifier-watcher"], stderr=subprocess.DEVNULL)
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
WATCHER = ("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher")


def call(name, path, interface, method, args=None, reply=None):
    return bus.call_sync(name, path, interface, method, args, reply and GLib.VariantType(reply),
                         Gio.DBusCallFlags.NONE, 5000, None).unpack()


def prop(name, path, interface, key):
    return call(name, path, "org.freedesktop.DBus.Properties", "Get",
                GLib.Variant("(ss)", (interface, key)), "(v)")[0]


def watcher_up():
    try:
        host = GLib.Variant("(s)", (bus.get_unique_name(),))
        return call(*WATCHER, "RegisterStatusNotifierHost", host) == ()
    except GLib.Error:
        return False


check(wait_for(watcher_up, 20), "a StatusNotifierWatcher with a host runs on the session bus")

# The agent, with settings of its own; what it says on stderr comes out with ours.
agent_out = os.path.join(work, "agent.out")
agent = subprocess.Popen([os.path.join(build, "snaplark")], stdout=open(agent_out, "w"),
                         env=dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config")))


def agent_lines():
    return open(agent_out).read().splitlines()


check(wait_for(lambda: has_input("Snaplark virtual keyboard"), 20), "sway has the agent's keyboard")

target_file = os.path.join(work, "target")
open(target_file, "w").close()
pad = subprocess.Popen([os.path.join(os.path.dirname(os.path.abspath(__file__)), "textpad.py"),
                        "copied by snaplark", target_file], stdout=subprocess.PIPE, text=True)
places = json.loads(pad.stdout.readline())
source, target = places["source"], places["target"]
ox, oy = window("name", "textpad")
source_y = oy + source["y"] + source["height"] // 2
# From just inside the text area (the frame around it takes no clicks) to its far end.
left, right = ox + source["x"] + 10, ox + source["x"] + source["width"] - 10
target_x, target_y = ox + target["x"] + 10, oy + target["y"] + target["height"] // 2


def clipboard():
    return subprocess.run(["wl-paste", "--no-newline"], capture_output=True, text=True,
                          timeout=10).stdout


def copies(x0, x1, y, text="copied by snaplark"):
    subprocess.run(["wl-copy", "nothing yet"], check=True, timeout=10)
    click(x0, y, True, x1)
    return wait_for(lambda: clipboard().startswith(text))


check(copies(left, right, source_y), f"Control+drag copies (clipboard: {clipboard()!r})")

# Control+Shift+click pastes once the test lets go of Shift, here on a keyboard plugged in while
# the agent runs.
late = UInput({e.EV_KEY: [e.KEY_RIGHTCTRL, e.KEY_LEFTSHIFT]}, name="late keyboard")
time.sleep(1)
send(late, e.EV_KEY, e.KEY_RIGHTCTRL, 1)
send(late, e.EV_KEY, e.KEY_LEFTSHIFT, 1)
click(target_x, target_y)
time.sleep(0.3)
check(open(target_file).read() == "", "nothing is pasted while Shift is still held")
send(late, e.EV_KEY, e.KEY_LEFTSHIFT, 0)
send(late, e.EV_KEY, e.KEY_RIGHTCTRL, 0)
check(wait_for(lambda: open(target_file).read() == "copied by snaplark"),
      f"Control+Shift+click pastes once Shift is let go ({open(target_file).read()!r})")

# A terminal gets its own copy chord, never Control+C (which would interrupt its program).
interrupted = os.path.join(work, "interrupted")
terminal = subprocess.Popen(
    ["foot", "sh", "-c", f"trap 'echo INT >> {interrupted}' INT; echo 'terminal text here'; "
     "while :; do sleep 1; done"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
window("app_id", "foot")
time.sleep(1)  # for sway to lay the two windows out side by side
fx, fy = window("app_id", "foot")
check(copies(fx + 4, fx + 150, fy + 8, "terminal"),
      f"Control+drag in foot copies with its own chord (clipboard: {clipboard()!r})")
time.sleep(0.5)
check(not os.path.exists(interrupted), "the terminal's program was not interrupted")
terminal.kill()


# The tray's menu over D-Bus (desktop/sni_tray.sh works it): check marks on the schedule.
def menu_entries():
    for item in prop(*WATCHER, "RegisteredStatusNotifierItems")[:1]:
        name, _, path = item.partition("/")
        menu = (name, prop(name, "/" + path if path else "/StatusNotifierItem",
                           "org.kde.StatusNotifierItem", "Menu"), "com.canonical.dbusmenu")
        _, layout = call(*menu, "GetLayout", GLib.Variant("(iias)", (0, -1, [])), "(u(ia{sv}av))")
        return {props.get("label", "").replace("_", ""): (menu, entry_id, props)
                for entry_id, props, _ in layout[2]}


entries = wait_for(menu_entries)
marks = [(entries[label][2].get("toggle-type"), entries[label][2].get("toggle-state"))
         for label in ("Disable", "Indefinitely", "1 Hour", "3 Hour", "6 Hour", "10 Hour")]
check(marks == [("checkmark", int(i == 1)) for i in range(6)], f"the schedule's marks: {marks}")

# Our own window: clicks on it are not gestures, with Control or without.
menu, entry_id, _ = entries["About Snaplark"]
call(*menu, "Event", GLib.Variant("(isvu)", (entry_id, "clicked", GLib.Variant("s", ""), 0)))
ax, ay = window("pid", agent.pid)
lines = len(agent_lines())
click(ax + 20, ay + 20, pause=0.35)
click(ax + 20, ay + 20, True)
time.sleep(0.5)
check(agent_lines()[lines:] == [], f"clicks on our window are no gestures: {agent_lines()[lines:]}")
sway(f"[pid={agent.pid}]", "kill")
time.sleep(1)  # for the window to be gone
click(left, source_y, pause=0.5)  # and for the agent to hear that the pointer left it
check(wait_for(lambda: agent_lines()[lines:] == ["no modifier keys are pressed"] * 2, 5),
      f"clicks elsewhere count again: {agent_lines()[lines:]}")

# Dvorak: the chord's key is the one typing c there, not the C position (which types j).
sway("input", "type:keyboard", "xkb_layout", "us")
sway("input", "type:keyboard", "xkb_variant", "dvorak")
time.sleep(0.5)
check(copies(left, right, source_y), f"Control+drag copies with Dvorak (clipboard: {clipboard()!r})")

device = next(d for d in map(InputDevice, list_devices()) if d.name == "Snaplark virtual keyboard")
check(device.active_keys() == [], "no key of the agent's is left down")
agent.terminate()

# Without access to the devices, the agent says what is missing and how to grant it (a directory
# whose one device node the user may not read stands in for /dev/input).
locked = tempfile.mkdtemp()
os.close(os.open(os.path.join(locked, "event0"), os.O_CREAT, 0))
denied = subprocess.run(
    ["timeout", "3", os.path.join(build, "snaplark"), "--input=evdev"], capture_output=True,
    text=True, env=dict(os.environ, XDG_RUNTIME_DIR=tempfile.mkdtemp(), QT_QPA_PLATFORM="offscreen",
                        XDG_CONFIG_HOME=tempfile.mkdtemp(), SNAPLARK_INPUT_DIR=locked))
check("cannot read the input devices" in denied.stderr and "input\" group" in denied.stderr,
      f"without access the agent explains: {denied.stderr.strip()!r}")

sys.exit(f"{failures} checks failed" if failures else 0)
