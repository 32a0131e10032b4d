#!/usr/bin/python3
"""The agent in a real Wayland session (sway), reading real input devices and typing on uinput.
Runs inside scripts/wayland-guest:

    scripts/wayland-guest -- tests/platform/wayland/session_test.py BUILD_DIR

The test's own keyboard and mouse are uinput devices, so the agent sees them exactly as it would
see a user's. A GTK window holds a text field to copy from and one to paste into.
"""
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
here = os.path.dirname(os.path.abspath(__file__))
failures = 0


def check(ok, what):
    global failures
    print(("ok - " if ok else "not ok - ") + what, flush=True)
    failures += 0 if ok else 1
    return ok


def wait_for(predicate, seconds):
    deadline = time.monotonic() + seconds
    while True:
        value = predicate()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(0.05)


def sway(*args):
    out = subprocess.run(["swaymsg", "-r", *args], check=True, capture_output=True, text=True)
    return json.loads(out.stdout) if out.stdout.strip() else None


def windows(node=None):
    node = node or sway("-t", "get_tree")
    found = [node] if node.get("pid") else []
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        found += windows(child)
    return found


keyboard = UInput({e.EV_KEY: [e.KEY_LEFTCTRL, e.KEY_LEFTSHIFT, e.KEY_CAPSLOCK, e.KEY_A]},
                  name="test keyboard")
mouse = UInput({e.EV_KEY: [e.BTN_LEFT, e.BTN_RIGHT], e.EV_REL: [e.REL_X, e.REL_Y]}, name="test mouse")


def key(code, down):
    keyboard.write(e.EV_KEY, code, 1 if down else 0)
    keyboard.syn()
    time.sleep(0.02)


def button(down):
    mouse.write(e.EV_KEY, e.BTN_LEFT, 1 if down else 0)
    mouse.syn()
    time.sleep(0.05)


def nudge(dx):
    mouse.write(e.EV_REL, e.REL_X, dx)
    mouse.syn()
    time.sleep(0.01)


def move_to(x, y):
    # Warped there, then moved by the mouse, so that the window under it hears of the pointer
    # from the device the clicks come from.
    sway("seat", "seat0", "cursor", "set", str(x - 1), str(y))
    nudge(1)
    time.sleep(0.05)


def drag(x0, x1, y):
    # Moved by the mouse itself while the button is down, as a hand would.
    move_to(x0, y)
    button(True)
    for _ in range(x0, x1, 20):
        nudge(20)
    button(False)


check(wait_for(lambda: [i for i in sway("-t", "get_inputs") if i["name"] == "test mouse"], 20),
      "sway has the test's keyboard and mouse")
sway("input", "type:pointer", "accel_profile", "flat")

# A session bus with a StatusNotifierWatcher, where the test itself registers as the tray host
# (as swaybar, waybar or KDE's panel would).
bus_daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                              stdout=subprocess.PIPE, text=True)
os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus_daemon.stdout.readline().strip()
watcher_process = subprocess.Popen(["status-notifier-watcher"], stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
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
        call(*WATCHER, "RegisterStatusNotifierHost", GLib.Variant("(s)", (bus.get_unique_name(),)))
        return prop(*WATCHER, "IsStatusNotifierHostRegistered")
    except GLib.Error:
        return False


check(wait_for(watcher_up, 20), "a StatusNotifierWatcher with a host runs on the session bus")

# The agent, with settings of its own.
env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"))
agent_out = open(os.path.join(work, "agent.out"), "w+")
agent_err = open(os.path.join(work, "agent.err"), "w+")
agent = subprocess.Popen([os.path.join(build, "snaplark")], stdout=agent_out, stderr=agent_err,
                         env=env)


def agent_lines():
    with open(agent_out.name) as f:
        return f.read().splitlines()


def virtual_keyboard():
    for path in list_devices():
        device = InputDevice(path)
        if device.name == "Snaplark virtual keyboard":
            return device
    return None


check(wait_for(virtual_keyboard, 20), "the agent made its virtual keyboard")
check(wait_for(lambda: [i for i in sway("-t", "get_inputs") if i["name"] == "Snaplark virtual keyboard"], 20),
      "sway has the agent's virtual keyboard")

target_file = os.path.join(work, "target")
pad = subprocess.Popen([os.path.join(here, "textpad.py"), "copied by snaplark", target_file],
                       stdout=subprocess.PIPE, text=True)
places = json.loads(pad.stdout.readline())
pad_window = wait_for(lambda: next((w for w in windows() if w.get("name") == "textpad"), None), 20)
check(pad_window is not None, "the GTK window is shown")
# The window's place on the output: its container's, plus the title bar and border sway draws.
origin_x = pad_window["rect"]["x"] + pad_window["window_rect"]["x"]
origin_y = pad_window["rect"]["y"] + pad_window["window_rect"]["y"]
source, target = places["source"], places["target"]
source_y = origin_y + source["y"] + source["height"] // 2
target_y = origin_y + target["y"] + target["height"] // 2
# From just inside the text area (the frame around it takes no clicks) to its far end.
left, right = origin_x + source["x"] + 10, origin_x + source["x"] + source["width"] - 10


def clipboard():
    return subprocess.run(["wl-paste", "--no-newline"], capture_output=True, text=True,
                          timeout=10).stdout


subprocess.run(["wl-copy", "nothing yet"], check=True, timeout=10)
# Plain drag: selects, copies nothing.
lines = len(agent_lines())
drag(left, right, source_y)
check(wait_for(lambda: len(agent_lines()) >= lines + 2, 10), "the agent saw the plain drag")
time.sleep(0.3)
check(clipboard() == "nothing yet", "a plain drag copies nothing")
primary = subprocess.run(["wl-paste", "--primary", "--no-newline"], capture_output=True, text=True, timeout=10).stdout
check(primary == "copied by snaplark", f"the drag selected the text (primary: {primary!r})")

# Control+drag copies the selection.
key(e.KEY_LEFTCTRL, True)
drag(left, right, source_y)
key(e.KEY_LEFTCTRL, False)
check(wait_for(lambda: clipboard() == "copied by snaplark", 10),
      f"Control+drag copies (clipboard: {clipboard()!r})")

# Control+Shift+click pastes, once the test lets go of Shift.
key(e.KEY_LEFTCTRL, True)
key(e.KEY_LEFTSHIFT, True)
move_to(origin_x + target["x"] + 10, target_y)
button(True)
button(False)
time.sleep(0.3)
check(not os.path.exists(target_file) or open(target_file).read() == "",
      "nothing is pasted while Shift is still held")
key(e.KEY_LEFTSHIFT, False)
key(e.KEY_LEFTCTRL, False)
check(wait_for(lambda: os.path.exists(target_file) and open(target_file).read() == "copied by snaplark", 10),
      f"Control+Shift+click pastes once Shift is let go ({open(target_file).read() if os.path.exists(target_file) else None!r})")

# Caps Lock blocks both gestures.
key(e.KEY_CAPSLOCK, True)
key(e.KEY_CAPSLOCK, False)
lines = len(agent_lines())
key(e.KEY_LEFTCTRL, True)
key(e.KEY_LEFTSHIFT, True)
button(True)
button(False)
key(e.KEY_LEFTSHIFT, False)
key(e.KEY_LEFTCTRL, False)
check(wait_for(lambda: len(agent_lines()) >= lines + 2, 10), "the agent saw the clicks with Caps Lock")
time.sleep(0.3)
check(agent_lines()[lines:lines + 2] == ["no modifier keys are pressed"] * 2,
      f"Caps Lock counts: {agent_lines()[lines:lines + 2]}")
check(open(target_file).read() == "copied by snaplark", "nothing pasted with Caps Lock on")
key(e.KEY_CAPSLOCK, True)
key(e.KEY_CAPSLOCK, False)

# A keyboard plugged in while the agent runs counts as soon as it is there.
late = UInput({e.EV_KEY: [e.KEY_RIGHTCTRL, e.KEY_B]}, name="late keyboard")
time.sleep(1)
lines = len(agent_lines())
late.write(e.EV_KEY, e.KEY_RIGHTCTRL, 1)
late.syn()
move_to(origin_x + target["x"] + 10, target_y)
button(True)
button(False)
late.write(e.EV_KEY, e.KEY_RIGHTCTRL, 0)
late.syn()
check(wait_for(lambda: agent_lines()[lines:] == ["Command key is pressed"] * 2, 5),
      f"a keyboard plugged in later counts: {agent_lines()[lines:]}")
late.close()

# Dvorak: the chord's key is the one typing c there, not the C position (which types j).
sway("input", "type:keyboard", "xkb_layout", "us")
sway("input", "type:keyboard", "xkb_variant", "dvorak")
time.sleep(0.5)
subprocess.run(["wl-copy", "nothing yet"], check=True, timeout=10)
key(e.KEY_LEFTCTRL, True)
drag(left, right, source_y)
key(e.KEY_LEFTCTRL, False)
check(wait_for(lambda: clipboard() == "copied by snaplark", 10),
      f"Control+drag copies with a Dvorak keymap (clipboard: {clipboard()!r})")
sway("input", "type:keyboard", "xkb_variant", "''")
sway("input", "type:keyboard", "xkb_layout", "us")
time.sleep(0.5)

# A terminal gets its own copy chord, never Control+C (which would interrupt its program).
interrupted = os.path.join(work, "interrupted")
terminal = subprocess.Popen(
    ["foot", "--title", "terminal", "sh", "-c",
     f"trap 'echo INT >> {interrupted}' INT; echo 'terminal text here'; while :; do sleep 1; done"],
    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
foot = wait_for(lambda: next((w for w in windows() if w.get("app_id") == "foot"), None), 20)
check(foot is not None, "a foot terminal is shown")
time.sleep(1)
# Read again once sway has laid the two windows out side by side.
foot = next(w for w in windows() if w.get("app_id") == "foot")
fx = foot["rect"]["x"] + foot["window_rect"]["x"]
fy = foot["rect"]["y"] + foot["window_rect"]["y"]
subprocess.run(["wl-copy", "nothing yet"], check=True, timeout=10)
key(e.KEY_LEFTCTRL, True)
drag(fx + 4, fx + 150, fy + 8)
key(e.KEY_LEFTCTRL, False)
check(wait_for(lambda: clipboard().startswith("terminal"), 10),
      f"Control+drag in foot copies with its own chord (clipboard: {clipboard()!r})")
time.sleep(0.5)
check(not os.path.exists(interrupted), "the terminal's program was not interrupted")
terminal.kill()

# The tray icon: registered with the watcher, its tool tip and menu entries work over D-Bus.
def item():
    items = prop(*WATCHER, "RegisteredStatusNotifierItems")
    if not items:
        return None
    name, _, path = items[0].partition("/")
    return name, "/" + path if path else "/StatusNotifierItem"


check(wait_for(item, 10), "the tray icon is registered with the watcher")
name, path = item()


def tooltip():
    return prop(name, path, "org.kde.StatusNotifierItem", "ToolTip")[2]


check(tooltip() == "Snaplark is active", f"its tool tip: {tooltip()!r}")
menu_path = prop(name, path, "org.kde.StatusNotifierItem", "Menu")


def menu_entries():
    _, layout = call(name, menu_path, "com.canonical.dbusmenu", "GetLayout",
                     GLib.Variant("(iias)", (0, -1, [])), "(u(ia{sv}av))")
    return {props.get("label", "").replace("_", ""): (entry_id, props)
            for entry_id, props, _ in layout[2]}


def menu_entry(label):
    return menu_entries().get(label, (None, None))[0]


# The schedule's entries are drawn with check marks, "Indefinitely" checked.
marks = {label: (props.get("toggle-type"), props.get("toggle-state"))
         for label, (_, props) in menu_entries().items()
         if label in ("Disable", "Indefinitely", "1 Hour", "3 Hour", "6 Hour", "10 Hour")}
check(marks == {"Disable": ("checkmark", 0), "Indefinitely": ("checkmark", 1),
                "1 Hour": ("checkmark", 0), "3 Hour": ("checkmark", 0),
                "6 Hour": ("checkmark", 0), "10 Hour": ("checkmark", 0)},
      f"the schedule's check marks: {marks}")


def choose(label):
    call(name, menu_path, "com.canonical.dbusmenu", "Event",
         GLib.Variant("(isvu)", (menu_entry(label), "clicked", GLib.Variant("s", ""), 0)))


choose("Disable")
check(wait_for(lambda: tooltip() == "Snaplark is suspended", 5), "Disable from the menu suspends")
subprocess.run(["wl-copy", "nothing yet"], check=True, timeout=10)
key(e.KEY_LEFTCTRL, True)
drag(left, right, source_y)
key(e.KEY_LEFTCTRL, False)
time.sleep(0.5)
check(clipboard() == "nothing yet", "nothing is copied while suspended")
choose("Disable")
check(wait_for(lambda: tooltip() == "Snaplark is active", 5), "Disable again resumes")

# Our own window: clicks on it are not gestures, with Control or without.
choose("About Snaplark")
about = wait_for(lambda: next((w for w in windows() if w.get("pid") == agent.pid), None), 10)
check(about is not None, "About opens a window")
lines = len(agent_lines())
if about:
    ax = about["rect"]["x"] + about["rect"]["width"] // 3
    ay = about["rect"]["y"] + about["rect"]["height"] // 3
    move_to(ax, ay)
    time.sleep(0.3)
    button(True)
    button(False)
    key(e.KEY_LEFTCTRL, True)
    button(True)
    button(False)
    key(e.KEY_LEFTCTRL, False)
    time.sleep(0.5)
    sway(f"[pid={agent.pid}]", "kill")
check(agent_lines()[lines:] == [], f"clicks on our window are no gestures: {agent_lines()[lines:]}")
move_to(left, source_y)
lines = len(agent_lines())
button(True)
button(False)
check(wait_for(lambda: len(agent_lines()) >= lines + 2, 5), "clicks elsewhere count again")

device = virtual_keyboard()
check(device is not None and device.active_keys() == [], "no key of the agent's is left down")

agent.terminate()
agent.wait(timeout=10)
pad.kill()

# Without access to the devices, the agent says what is missing and how to grant it (a directory
# whose one device node the user may not read stands in for /dev/input).
locked = tempfile.mkdtemp()
open(os.path.join(locked, "event0"), "w").close()
os.chmod(os.path.join(locked, "event0"), 0)
denied = subprocess.run(
    ["timeout", "3", os.path.join(build, "snaplark"), "--input=evdev"],
    capture_output=True, text=True,
    env=dict(os.environ, XDG_RUNTIME_DIR=tempfile.mkdtemp(), QT_QPA_PLATFORM="offscreen",
             XDG_CONFIG_HOME=tempfile.mkdtemp(), SNAPLARK_INPUT_DIR=locked))
check("cannot read the input devices" in denied.stderr and "input\" group" in denied.stderr,
      f"without access the agent explains: {denied.stderr.strip()!r}")

if failures:
    print("--- agent stdout\n" + "\n".join(agent_lines()[-20:]))
    print("--- agent stderr\n" + open(agent_err.name).read())
keyboard.close()
mouse.close()
watcher_process.kill()
bus_daemon.kill()
print(f"{failures} checks failed" if failures else "all checks passed")
sys.exit(1 if failures else 0)
