#!/usr/bin/python3
# The agent in a real Wayland session (sway) reading real input devices, here the test's own uinput
# keyboards and mouse, and typing on uinput: scripts/wayland-guest -- THIS_FILE BUILD_DIR
# The guest is emulated and slow, so every wait is for a condition, with a generous bound; what the
# agent types is read from its virtual keyboard as it types it, so each chord is checked while the
# user still holds the keys it must come under.
import functools
import os
import subprocess
import sys
import tempfile

from evdev import UInput, ecodes as e
from gi.repository import Gio, GLib

import guest
from guest import buses
from guest import check, clipboard, click, find, has_input, keyboard, keys, middle, sway, wait_for, \
    window

build = os.path.abspath(sys.argv[1])
rounds = int(os.environ.get("SNAPLARK_ROUNDS", "10"))
work = tempfile.mkdtemp()

check(wait_for(lambda: has_input("test mouse")), "sway has the test's keyboard and mouse")
sway("input", "type:pointer", "accel_profile", "flat")

# A session bus with a StatusNotifierWatcher, where the test itself registers as the tray host
# (as swaybar, waybar or KDE's panel would).
bus_daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                              stdout=subprocess.PIPE, text=True)
os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus_daemon.stdout.readline().strip()
subprocess.Popen(["status-notifier-watcher"], stderr=subprocess.DEVNULL)
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
call = functools.partial(buses.call, bus)
check(wait_for(lambda: buses.host_registered(bus)),
      "a StatusNotifierWatcher with a host runs on the session bus")

# The agent, with settings of its own; what it says on stderr comes out with ours.
agent_out = os.path.join(work, "agent.out")
agent = subprocess.Popen([os.path.join(build, "snaplark")], stdout=open(agent_out, "w"),
                         env=dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config")))


def agent_lines():
    return open(agent_out).read().splitlines()


def menu_entries():
    for item in buses.prop(bus, *buses.WATCHER, "RegisteredStatusNotifierItems")[:1]:
        menu = (item.partition("/")[0], buses.item_prop(bus, item, "Menu"),
                "com.canonical.dbusmenu")
        _, layout = call(*menu, "GetLayout", GLib.Variant("(iias)", (0, -1, [])), "(u(ia{sv}av))")
        return {props.get("label", "").replace("_", ""): (menu, entry_id, props)
                for entry_id, props, _ in layout[2]}


# The agent's menu is on the bus once it has started up.
entries = wait_for(menu_entries)
check(has_input("Snaplark virtual keyboard"), "sway has the agent's keyboard")


def menu_event(entry_id, event):
    menu = next(iter(entries.values()))[0]
    call(*menu, "Event", GLib.Variant("(isvu)", (entry_id, event, GLib.Variant("s", ""), 0)))


typed = guest.Typed()

pad = guest.open_textpad(work)
left, right, source_y = pad.left, pad.right, pad.source_y
target_x, target_y, blank_y = pad.target_x, pad.target_y, pad.blank_y


def pad_width():
    return wait_for(lambda: find("name", "textpad"))["rect"]["width"]


full_width = pad_width()


check(guest.copies(typed, left, right, source_y), f"Control+drag copies (clipboard: {clipboard()!r})")

# Control+Shift+click pastes once the test lets go of Shift, here on a keyboard plugged in while
# the agent runs. Once the agent has written the click's two lines it has decided about the
# press; nothing may be typed before Shift goes.
late = UInput({e.EV_KEY: [e.KEY_RIGHTCTRL, e.KEY_LEFTSHIFT]}, name="late keyboard")
wait_for(lambda: has_input("late keyboard"))
typed.take()
lines = len(agent_lines())
keys(late, 1, e.KEY_RIGHTCTRL, e.KEY_LEFTSHIFT)
click(target_x, target_y)
wait_for(lambda: len(agent_lines()) >= lines + 2)
check(typed.take() == [] and pad.target_text() == "",
      "nothing is typed while Shift is still held")
keys(late, 0, e.KEY_LEFTSHIFT)
check(wait_for(typed.down(e.KEY_LEFTCTRL, e.KEY_V)), "the paste chord comes once Shift is let go")
check(wait_for(lambda: pad.target_text() == "copied by snaplark"),
      f"Control+Shift+click pastes ({pad.target_text()!r})")
keys(late, 0, e.KEY_RIGHTCTRL)

# A keyboard unplugged while it holds Control: the agent forgets that Control.
gone = UInput({e.EV_KEY: [e.KEY_LEFTCTRL]}, name="unplugged keyboard")
wait_for(lambda: has_input("unplugged keyboard"))
keys(gone, 1, e.KEY_LEFTCTRL)
gone.close()
wait_for(lambda: not has_input("unplugged keyboard"))
lines = len(agent_lines())
click(left, blank_y)
check(wait_for(lambda: len(agent_lines()) >= lines + 2) and
      agent_lines()[lines:] == ["no modifier keys are pressed"] * 2,
      f"a keyboard unplugged with Control down holds it no more: {agent_lines()[lines:]}")

# A terminal gets its own copy chord, never Control+C (which would interrupt its program).
interrupted = os.path.join(work, "interrupted")
terminal = subprocess.Popen(
    ["foot", "sh", "-c", f"trap 'echo INT >> {interrupted}' INT; echo 'terminal text here'; "
     f"read line; touch {interrupted}.ready; while :; do sleep 1; done"],
    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
# Laid out beside the text window: the text window's new width tells that sway has done so. The
# Enter that foot hands its program comes after the text it printed, which is then on screen.
wait_for(lambda: pad_width() < full_width)
fx, fy = window("app_id", "foot", focused=True)
keys(keyboard, 1, e.KEY_ENTER)
keys(keyboard, 0, e.KEY_ENTER)
check(wait_for(lambda: os.path.exists(interrupted + ".ready")), "foot runs its program")


# Pointer motion and typing (here into the terminal, whose program ignores it) never wake the
# agent: the devices pass it only what makes gestures.
woken, = guest.woken_by_noise(agent.pid)
check(woken < 40, f"400 motion and letter events woke the agent {woken} times")

check(guest.copies(typed, fx + 4, fx + 150, fy + 8, "terminal", (e.KEY_LEFTCTRL, e.KEY_LEFTSHIFT, e.KEY_C)),
      f"Control+drag in foot copies with its own chord (clipboard: {clipboard()!r})")
check(not os.path.exists(interrupted), "the terminal's program was not interrupted")
# The terminal stays open while the text window beside it has the focus: there, Control+C.
click(left, blank_y)
check(guest.copies(typed, left, left + pad_width() // 2, source_y),
      f"beside the open terminal, the text window copies with Control+C ({clipboard()!r})")
terminal.kill()
wait_for(lambda: pad_width() == full_width)

# The tray's menu over D-Bus (desktop/sni_tray.sh works it): check marks on the schedule.
marks = [(entries[label][2].get("toggle-type"), entries[label][2].get("toggle-state"))
         for label in ("Disable", "Indefinitely", "1 Hour", "3 Hour", "6 Hour", "10 Hour")]
check(marks == [("checkmark", int(i == 1)) for i in range(6)], f"the schedule's marks: {marks}")

# Clicks on our own windows and in our open menu are no gestures, with Control or without, and a
# click elsewhere right after one counts. Each round's click elsewhere holds Shift (no gesture,
# a line of its own): the agent judges clicks in order, so once its lines are written, any line
# of the click on our window would have come before them.
SHIFT_LINES = ["shift key is pressed"] * 2


def race(name, click_ours, before=lambda: None, after=lambda: None):
    missed = []
    for i in range(rounds):
        for ctrl in (False, True):
            lines = len(agent_lines())
            before()
            if ctrl:
                keys(keyboard, 1, e.KEY_LEFTCTRL)
            click_ours()
            if ctrl:
                keys(keyboard, 0, e.KEY_LEFTCTRL)
            after()
            keys(keyboard, 1, e.KEY_LEFTSHIFT)
            click(left, blank_y)
            keys(keyboard, 0, e.KEY_LEFTSHIFT)
            wait_for(lambda: len(agent_lines()) >= lines + 2)
            if agent_lines()[lines:] != SHIFT_LINES:
                missed.append(agent_lines()[lines:])
    check(missed == [], f"{name}: {len(missed)} of {2 * rounds} rounds wrong {missed[:2]}")


menu_event(entries["About Snaplark"][1], "clicked")
window("name", "Snaplark", focused=True)
race("clicks on our About window", lambda: click(*middle("Snaplark")))
# Closed under the pointer: the next click there counts at once.
ax, ay = middle("Snaplark")
sway('[title="^Snaplark$"]', "kill")
wait_for(lambda: not find("name", "Snaplark"))
lines = len(agent_lines())
click(ax, ay)
check(wait_for(lambda: agent_lines()[lines:] == ["no modifier keys are pressed"] * 2),
      f"a click where our window closed counts: {agent_lines()[lines:]}")

# The preferences window, blocked by About opened over it: Qt hands it no clicks, yet they are
# ours.
# Both float at the middle; the preferences window moves aside so that About does not cover it.
menu_event(entries["Preference"][1], "clicked")
window("name", "Snaplark Preferences", focused=True)
sway('[title="^Snaplark Preferences$"]', "move", "position", "20", "400")
wait_for(lambda: find("name", "Snaplark Preferences")["rect"]["x"] == 20)
menu_event(entries["About Snaplark"][1], "clicked")
window("name", "Snaplark", focused=True)
race("clicks on our window blocked by About", lambda: click(*middle("Snaplark Preferences")))
sway('[title="^Snaplark"]', "kill")
wait_for(lambda: not find("name", "Snaplark") and not find("name", "Snaplark Preferences"))
wait_for(lambda: pad_width() == full_width)

# Our menu, drawn by the tray host: opened and closed over dbusmenu as a host does.
def open_menu():
    menu = next(iter(entries.values()))[0]
    call(*menu, "AboutToShow", GLib.Variant("(i)", (0,)), "(b)")


race("clicks in our open menu", lambda: click(left, blank_y), open_menu,
     lambda: menu_event(0, "closed"))

# Copy only after a selection: a Control + click in place types nothing, a drag still copies (the
# pointer's way is read from the devices only from such a press to its release).
settings = os.path.join(work, "config", "Snaplark", "Snaplark.conf")
os.makedirs(os.path.dirname(settings), exist_ok=True)
with open(settings, "w") as f:
    f.write("[General]\nboolCopyOnlyAfterSelection=true\n")
# The click comes right after a drag, so that it is no double click (a click after a drag starts
# a series; here double clicks are told by the press times alone); a paste after it, whose chord
# comes after whatever the click typed.
typed.take()
keys(keyboard, 1, e.KEY_LEFTCTRL)
click(left, source_y, right)
click(right, source_y)
keys(keyboard, 1, e.KEY_LEFTSHIFT)
click(target_x, target_y)
keys(keyboard, 0, e.KEY_LEFTSHIFT)
dragged = wait_for(typed.down(e.KEY_LEFTCTRL, e.KEY_V))
keys(keyboard, 0, e.KEY_LEFTCTRL)
copies = [code for code, value in typed.take() if code == e.KEY_C and value == 1]
check(dragged and copies == [e.KEY_C],
      f"with copies waiting for a selection, a Control + click in place types nothing and a "
      f"Control + drag copies: {copies}")
os.remove(settings)

# Dvorak: the chord's key is the one typing c there (the I position), not the C position.
guest.us_keyboards("dvorak")
click(right, source_y)  # a plain click ends the first copy's selection, so the drag selects anew
check(guest.copies(typed, left, right, source_y, chord=(e.KEY_LEFTCTRL, e.KEY_I)),
      f"Control+drag copies with Dvorak (clipboard: {clipboard()!r})")

check(typed.device.active_keys() == [], "no key of the agent's is left down")
agent.terminate()

# Without access to the devices, the agent says what is missing and how to grant it (a directory
# whose one device node the user may not read stands in for /dev/input), and keeps running.
locked = tempfile.mkdtemp()
os.close(os.open(os.path.join(locked, "event0"), os.O_CREAT, 0))
denied = subprocess.Popen(
    [os.path.join(build, "snaplark"), "--input=evdev"], stderr=subprocess.PIPE, text=True,
    env=dict(os.environ, XDG_RUNTIME_DIR=tempfile.mkdtemp(), QT_QPA_PLATFORM="offscreen",
             XDG_CONFIG_HOME=tempfile.mkdtemp(), SNAPLARK_INPUT_DIR=locked))
said = next((line for line in denied.stderr if "cannot read the input devices" in line), "")
check("snaplark-inputd" in said and "udev rule" in said and denied.poll() is None, f"without access the agent explains: {said!r}")
denied.kill()

guest.finish()
