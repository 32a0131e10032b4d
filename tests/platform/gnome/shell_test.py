#!/usr/bin/python3
# GNOME Shell keeps the focused window to itself: Snaplark's extension reports its application id
# to the agent. Here a real GNOME Shell (headless, virtual monitor, its own session bus and a
# stand-in system bus) loads the extension from the user's extension folder; the agent, a
# terminal and a GTK window run in it. The agent must follow the focus from the terminal to the
# window and back, and take no report from any other bus client. The agent reads no input here
# (no devices, nothing typed): what it would type for an application id is the terminal table's.
#   tests/platform/gnome/shell_test.py BUILD_DIR
import atexit
import functools
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

from gi.repository import Gio, GLib

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import buses  # noqa: E402
import checks  # noqa: E402
from checks import check, wait_for  # noqa: E402

build = os.path.abspath(sys.argv[1])
here = os.path.dirname(os.path.abspath(__file__))
extensions = os.path.join(here, "..", "..", "..", "data", "gnome-shell")
work = tempfile.mkdtemp(prefix="snaplark-gnome-")
home, runtime = os.path.join(work, "home"), os.path.join(work, "run")
os.makedirs(runtime, mode=0o700)
processes = []


def stop():
    for process in reversed(processes):
        process.kill()
        process.wait()


# At exit, whatever happened: the processes stopped first, then their folder removed.
atexit.register(lambda: shutil.rmtree(work, ignore_errors=True))
atexit.register(stop)
version = subprocess.run(["gnome-shell", "--version"], capture_output=True, text=True).stdout
major = int(re.search(r"(\d+)\.", version).group(1))
print(f"# {version.strip()}", flush=True)

# dconf takes its home from the bus's environment, so HOME is set before the bus starts; the
# terminal's server, which the bus starts, finds the shell's display there.
env = {"PATH": os.environ["PATH"], "LANG": "C.UTF-8", "HOME": home, "XDG_RUNTIME_DIR": runtime,
       "XDG_SESSION_TYPE": "wayland", "WAYLAND_DISPLAY": "snaplark-test", "GDK_BACKEND": "wayland"}
# A sanitizer build's agent keeps the run's options and its list of leaks that are not ours.
env.update({k: v for k, v in os.environ.items() if k in ("ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS")})
if "ASAN_OPTIONS" in env:
    # libwayland-client keeps no frame pointers: only the full unwinder reaches the frames that
    # tell Qt's leaks at exit from the agent's own.
    env["ASAN_OPTIONS"] += ":fast_unwind_on_malloc=0"


def start(args, log, **extra):
    process = subprocess.Popen(args, env=dict(env, **extra), stdin=subprocess.DEVNULL,
                               stdout=open(log, "w"), stderr=subprocess.STDOUT)
    processes.append(process)
    return process


def bus_daemon():
    daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                              env=env, stdout=subprocess.PIPE, stderr=open(bus_log, "a"), text=True)
    processes.append(daemon)
    return daemon.stdout.readline().strip()


# What the buses' daemons and the services they start say.
bus_log = os.path.join(work, "bus.log")
# Without a system bus the shell stops in its login manager's client; an empty bus will do.
env["DBUS_SYSTEM_BUS_ADDRESS"] = bus_daemon()
env["DBUS_SESSION_BUS_ADDRESS"] = bus_daemon()
bus = Gio.DBusConnection.new_for_address_sync(
    env["DBUS_SESSION_BUS_ADDRESS"], Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
    Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
call = functools.partial(buses.call, bus)
reported = functools.partial(buses.reported, bus)


def shell(code):
    """Runs JavaScript in the shell (unsafe mode, which the test's extension turns on) and gives
    back its value; None where the shell cannot run it yet."""
    try:
        ok, value = call("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell", "Eval",
                         GLib.Variant("(s)", (code,)), "(bs)")
    except GLib.Error:
        return None
    return json.loads(value) if ok and value else None


def screenshot(name):
    """With SNAPLARK_SCREENSHOTS=FOLDER, a picture of the screen as it is now (the README's)."""
    folder = os.environ.get("SNAPLARK_SCREENSHOTS")
    if folder:
        call("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
             "org.gnome.Shell.Screenshot", "Screenshot",
             GLib.Variant("(bbs)", (False, False, os.path.join(os.path.abspath(folder),
                                                                name + ".png"))), "(bs)")


# Windows by the application id the shell gives them (their WM class, for Wayland clients).
WINDOWS = "global.get_window_actors().map(a => a.meta_window)"


def window_ids():
    return shell(f"{WINDOWS}.map(w => w.get_wm_class())") or []


def focus(application_id):
    shell(f"{WINDOWS}.find(w => w.get_wm_class() == {json.dumps(application_id)})"
          ".activate(global.get_current_time())")


def notifications():
    """The notifications the shell shows, as [title, body] pairs (GNOME 46 renamed the body)."""
    return shell("Main.messageTray.getSources().flatMap(s => s.notifications)"
                 ".map(n => [n.title, n.body ?? n.bannerBodyText])") or []


def open_menu(role):
    """Opens the menu of the top-bar button an extension added under that role; whether it is
    open, or None where there is no such button."""
    return shell(f"(b => b ? (b.menu.open(), b.menu.isOpen) : null)"
                 f"(Main.panel.statusArea[{json.dumps(role)}])")


# Extensions are found in the user's folder at the shell's start. The test's own one lets the test
# drive the shell through Eval (GNOME 43 has no option for it); it is enabled with the shell's
# settings before the start, Snaplark's as a user enables it, in the running shell.
uuid = "snaplark@snaplark.example" if major >= 45 else "snaplark-legacy@snaplark.example"
user_extensions = os.path.join(home, ".local", "share", "gnome-shell", "extensions")
shutil.copytree(os.path.join(extensions, uuid), os.path.join(user_extensions, uuid))
# The icon, as the install puts it there.
shutil.copy(os.path.join(here, "..", "..", "..", "src", "platform", "qt", "resources",
                         "StatusBarButtonImage.svg"),
            os.path.join(user_extensions, uuid, "snaplark.svg"))
test_extension = os.path.join(user_extensions, "snaplark-test@snaplark.example")
os.makedirs(test_extension)
json.dump({"uuid": "snaplark-test@snaplark.example", "name": "Snaplark's test",
           "description": "Lets the test run JavaScript in the shell", "shell-version": [str(major)]},
          open(os.path.join(test_extension, "metadata.json"), "w"))
unsafe = ("enable() { global.context.unsafe_mode = true; } "
          "disable() { global.context.unsafe_mode = false; }")
open(os.path.join(test_extension, "extension.js"), "w").write(
    f"export default class {{ {unsafe} }}\n" if major >= 45
    else f"function init() {{ return new class {{ {unsafe} }}(); }}\n")
subprocess.run(["gsettings", "set", "org.gnome.shell", "enabled-extensions",
                "['snaplark-test@snaplark.example']"], env=env, check=True)

shell_log = os.path.join(work, "shell.log")
start(["gnome-shell", "--headless", "--wayland", "--no-x11", "--virtual-monitor", "1024x768",
       "--wayland-display", env["WAYLAND_DISPLAY"]], shell_log)
check(wait_for(lambda: shell("!Main.layoutManager._startingUp"), 180),
      "GNOME Shell has started and runs the test's JavaScript")
# It starts in the overview, where a window that opens takes no focus.
shell("Main.overview.hide()")
check(wait_for(lambda: shell("!Main.overview.visible && !Main.overview.animationInProgress")),
      "the overview is hidden")

def focused():
    return shell("global.display.focus_window?.get_wm_class()")


# One at a time, each window taking the focus as it opens, so that none is still to take it.
start(["gnome-terminal", "--wait", "--", "sh", "-c", "while :; do sleep 1; done"],
      os.path.join(work, "terminal.log"))
terminal_id = "org.gnome.Terminal" if major >= 45 else "gnome-terminal-server"
check(wait_for(lambda: focused() == terminal_id), f"the terminal opens with the focus: {window_ids()}")
start([os.path.join(here, "..", "wayland", "textpad.py"), "some text", os.path.join(work, "typed")],
      os.path.join(work, "textpad.log"))
check(wait_for(lambda: focused() == "textpad.py"), f"so does the GTK window: {window_ids()}")

# The agent starts before Snaplark's extension is on: after a while it tells the user so in a
# notification (with a button that would enable it), and once the extension reports, that this
# is over.
agent_err = os.path.join(work, "agent.err")
empty = os.path.join(work, "no-devices")
os.makedirs(empty)
agent = start([os.path.join(build, "snaplark"), "--input=evdev"], agent_err, QT_QPA_PLATFORM="wayland",
      XDG_CONFIG_HOME=os.path.join(work, "config"), SNAPLARK_INPUT_DIR=empty,
      SNAPLARK_INPUT_SERVICE=os.path.join(work, "no-service"))



def notified(title):
    return [n for n in notifications() if title in (n[0] or "")]


check(wait_for(lambda: notified("GNOME extension is off")),
      f"the agent says in a notification that the extension is off: {notifications()}")
if os.environ.get("SNAPLARK_SCREENSHOTS"):
    # The shell's own notifications (a root session's) left out of the picture.
    shell("Main.messageTray.getSources().filter(s => s.title != 'Snaplark')"
          ".forEach(s => s.destroy())")
    shell("Main.panel.statusArea.dateMenu.menu.open()")
    wait_for(lambda: shell("Main.panel.statusArea.dateMenu.menu.isOpen"))
    screenshot("gnome-notification")
    shell("Main.panel.statusArea.dateMenu.menu.close()")
gnome_extensions = subprocess.run(["gnome-extensions", "enable", uuid], env=env, capture_output=True,
                                  text=True)
check(gnome_extensions.returncode == 0 and wait_for(
    lambda: shell(f"Main.extensionManager.lookup('{uuid}')?.state") == 1),
    f"gnome-extensions enable {uuid} turns Snaplark's extension on: "
    f"{(gnome_extensions.stdout + gnome_extensions.stderr).strip()!r}")


check(wait_for(lambda: notified("Snaplark works again")),
      f"...and says when that is over: {notifications()}")


check(wait_for(lambda: reported() == "textpad.py"),
      f"the agent hears which window has the focus when it starts: {reported()}")
for _ in range(2):
    for application_id in (terminal_id, "textpad.py"):
        focus(application_id)
        check(wait_for(lambda: reported() == application_id),
              f"the agent follows the focus to {application_id}: {reported()}")

# Another client of the bus pretends the terminal has the focus; the call itself goes through.
forged = call(*buses.ACTIVE_WINDOW, "Report", GLib.Variant("(s)", (terminal_id,)))
check(forged == () and reported() == "textpad.py",
      f"a report from another bus client is ignored: {reported()}")
focus(terminal_id)
check(wait_for(lambda: reported() == terminal_id), "the shell's reports still count after it")

# No tray runs here, so the extension shows Snaplark's icon in the top bar, with the agent's menu.
MENU = "Main.panel.statusArea.snaplark?.menu"
STATUS_MENU = ("example.snaplark.Snaplark", "/example/snaplark/StatusMenu",
               "example.snaplark.StatusMenu")


def tool_tip():
    return buses.prop(bus, *STATUS_MENU, "ToolTip")


def entries():
    """The top-bar menu's entries as [label, checked] (a check is ornament 2), without the line
    at its top that says what stops the gestures, if anything does."""
    found = shell(f"{MENU}?._getMenuItems().filter(i => i.label?.text)"
                  ".map(i => [i.label.text, i._ornament === 2])") or []
    return [entry for entry in found if entry[0] != tool_tip()]


def choose(label):
    shell(f"{MENU}._getMenuItems().find(i => i.label?.text == {json.dumps(label)})"
          ".emit('activate', null)")


def agent_entries():
    return {label: checked for label, _, _, checked in call(*STATUS_MENU, "Entries", None,
                                                            "(a(sbbb))")[0] if label}


check(wait_for(lambda: open_menu("snaplark")), "Snaplark's icon is in the top bar and opens a menu")
# As it opens, the agent names the active application in the pause entry.
wait_for(lambda: any(label.startswith("Pause in ") and "an application" not in label
                     for label, _ in entries()))
labels = [label for label, _ in entries()]
check(labels[:7] == ["Disable", "Indefinitely", "1 Hour", "3 Hour", "6 Hour", "10 Hour",
                     "Preference"] and labels[7:9] == ["About Snaplark", "How to use"] and
      labels[9].startswith("Pause in ") and labels[10:] == ["Quit"],
      f"with the agent's entries: {labels}")
screenshot("gnome-menu")
check(["Indefinitely", True] in entries(), "the schedule's check mark is shown")
choose("1 Hour")
check(wait_for(lambda: agent_entries().get("1 Hour")) and wait_for(
    lambda: ["1 Hour", True] in entries()),
    f"choosing an hour reaches the agent, and the mark moves: {entries()}")
for opacity, what in ((128, "Disable reaches the agent, and the icon dims while it is suspended"),
                      (255, "choosing it again resumes")):
    choose("Disable")
    check(wait_for(lambda: shell("Main.panel.statusArea.snaplark.get_child_at_index(0).opacity")
                   == opacity), what)
for label, title in (("Preference", "Snaplark Preferences"), ("About Snaplark", "Snaplark"),
                     ("How to use", "Snaplark")):
    before = len(window_ids())
    choose(label)
    check(wait_for(lambda: shell(f"{WINDOWS}.some(w => w.get_title() == {json.dumps(title)} "
                                 "&& w.get_wm_class() != 'textpad.py')") and
                   len(window_ids()) > before), f"{label} opens its window")
    shell(f"{WINDOWS}.filter(w => w.get_wm_class() == 'snaplark' || "
          f"w.get_title() == {json.dumps(title)}).forEach(w => w.delete(global.get_current_time()))")
    wait_for(lambda: len(window_ids()) == before)
focus(terminal_id)
wait_for(lambda: reported() == terminal_id)
shell(f"{MENU}.close()")
open_menu("snaplark")


def pause_entry():
    return next((label for label, _ in entries() if label.startswith("Pause in ")), "")


# By its desktop entry's name where the id names one (org.gnome.Terminal), else by the id.
check(wait_for(lambda: "Terminal" in pause_entry() or terminal_id in pause_entry()),
      f"the pause entry names the terminal: {pause_entry()!r}")
pause = pause_entry()
choose(pause)
settings = os.path.join(work, "config", "Snaplark", "Snaplark.conf")
check(wait_for(lambda: os.path.exists(settings) and "arrayPausedApplications" in open(settings).read()),
      "pausing there reaches the agent, which stores it")
choose("Quit")
check(wait_for(lambda: agent.poll() is not None) and agent.returncode == 0, "Quit ends the agent")
check(wait_for(lambda: shell("!Main.panel.statusArea.snaplark")), "and the icon goes with it")
errors = open(agent_err).read()
check("No Icon set" not in errors, f"the agent warns of no missing icon: {errors!r}")
stop()
logs = [os.path.join(work, log) for log in sorted(os.listdir(work)) if log.endswith((".log", ".err"))]
checks.finish(logs)
