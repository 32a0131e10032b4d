#!/usr/bin/python3
# KDE Plasma's compositor keeps the active window to itself: the agent loads a script into KWin
# that reports it over D-Bus. Here a real KWin (kwin_wayland, virtual output, inside the guest's
# session) runs GNOME Terminal and a GTK window; the agent must type the terminal's copy chord
# there, the plain one in the other window, and take its script out of KWin when it quits.
# (Konsole and foot would be the natural terminals here, but under this KWin 5.27 with software
# rendering and a slow machine, Konsole's window crashes KWin, and foot stops on KWin's output.)
#   scripts/wayland-guest -- THIS_FILE BUILD_DIR
import atexit
import os
import shutil
import subprocess
import sys
import tempfile

from evdev import ecodes as e
from gi.repository import Gio, GLib

import guest
from guest import check, click, keyboard, keys, wait_for

build = os.path.abspath(sys.argv[1])
work = tempfile.mkdtemp()
kwin_log = os.path.join(work, "kwin.log")
# KWin's log, for the host to read afterwards (scripts/wayland-guest hands back this folder).
atexit.register(lambda: shutil.copy(kwin_log, os.environ["WAYLAND_GUEST_OUT"]))

# Services the bus starts (GNOME Terminal's server) show their windows in KWin.
bus_daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                              stdout=subprocess.PIPE, text=True,
                              env=dict(os.environ, WAYLAND_DISPLAY="kwin-test"))
os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus_daemon.stdout.readline().strip()
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
# The session's sway keeps the test's devices; KWin shows its windows on a virtual output and
# reads no input, which the agent does not need from it: it reads the devices itself.
# Without Plasma's own packages KWin has no window decoration that loads; it draws none.
kwin_config = os.path.join(work, "kwin-config")
os.makedirs(kwin_config)
open(os.path.join(kwin_config, "kwinrc"), "w").write("[org.kde.kdecoration2]\nNoPlugin=true\n")
kwin = subprocess.Popen(["kwin_wayland", "--virtual", "--socket", "kwin-test", "--width", "1024",
                         "--height", "768"], stdout=open(kwin_log, "w"), stderr=subprocess.STDOUT,
                        env=dict(os.environ, KWIN_COMPOSE="Q", XDG_CONFIG_HOME=kwin_config))
in_kwin = dict(os.environ, WAYLAND_DISPLAY="kwin-test")


def call(name, path, interface, method, args=None, reply=None):
    return bus.call_sync(name, path, interface, method, args, reply and GLib.VariantType(reply),
                         Gio.DBusCallFlags.NONE, 30000, None).unpack()


SCRIPTING = ("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting")
runs = 0


def kwin_script(source):
    """Runs a script of the test's in KWin; what it prints goes to KWin's log."""
    global runs
    runs += 1
    path, name = os.path.join(work, f"test{runs}.js"), f"snaplark-test-{runs}"
    open(path, "w").write(source)
    script_id = call(*SCRIPTING, "loadScript", GLib.Variant("(ss)", (path, name)), "(i)")[0]
    # KWin 6 puts a loaded script at /Scripting/Script<id>, KWin 5 at /<id>.
    for object_path in (f"/Scripting/Script{script_id}", f"/{script_id}"):
        try:
            call("org.kde.KWin", object_path, "org.kde.kwin.Script", "run")
            break
        except GLib.Error:
            pass
    call(*SCRIPTING, "unloadScript", GLib.Variant("(s)", (name,)))


WINDOWS = "(workspace.windowList ? workspace.windowList() : workspace.clientList())"
# A window's application id as the agent's script reports it.
ID = "(w.desktopFileName || w.resourceClass)"


def window_classes():
    marker = f"windows {runs + 1}:"
    kwin_script(f"print('{marker}', {WINDOWS}.map(w => {ID}).join(' '));")
    lines = [line for line in open(kwin_log) if marker in line]
    return lines[-1].split(marker)[1].split() if lines else []


def activate(application_id):
    kwin_script(f"for (const w of {WINDOWS}) if ({ID} == '{application_id}') "
                "{ if ('activeWindow' in workspace) workspace.activeWindow = w; "
                "else workspace.activeClient = w; }")


def script_loaded(name):
    """Whether KWin has a script of that name; None while its scripting is not up yet."""
    try:
        return call(*SCRIPTING, "isScriptLoaded", GLib.Variant("(s)", (name,)), "(b)")[0]
    except GLib.Error:
        return None


check(wait_for(lambda: script_loaded("none") is not None, 180), "KWin's scripting is up")

terminal = subprocess.Popen(["gnome-terminal", "--wait", "--", "sh", "-c", "while :; do sleep 1; done"],
                            env=in_kwin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
pad = subprocess.Popen([os.path.join(os.path.dirname(os.path.abspath(__file__)), "textpad.py"),
                        "copied by snaplark", os.path.join(work, "target")],
                       env=in_kwin, stdout=subprocess.DEVNULL)
check(wait_for(lambda: {"gnome-terminal-server", "textpad.py"} <= set(window_classes()), 180),
      f"KWin shows the terminal and the GTK window: {window_classes()}")

agent_err = os.path.join(work, "agent.err")
agent = subprocess.Popen([os.path.join(build, "snaplark"), "--input=evdev"], env=dict(
    in_kwin, XDG_CONFIG_HOME=os.path.join(work, "config")),
    stdout=subprocess.DEVNULL, stderr=open(agent_err, "w"))
check(wait_for(lambda: script_loaded("snaplark-active-window")), "the agent's script runs in KWin")
typed = wait_for(lambda: guest.Typed() if guest.has_input("Snaplark virtual keyboard") else None)


def reported():
    return call("example.snaplark.Snaplark", "/example/snaplark/ActiveWindow",
                "org.freedesktop.DBus.Properties", "Get",
                GLib.Variant("(ss)", ("example.snaplark.ActiveWindow", "ActiveApplication")),
                "(v)")[0]


def copy_chord(application_id):
    """Activates the window in KWin, then Control+drags: the chord the agent types."""
    activate(application_id)
    # The report reaches the agent over D-Bus, on the thread that types.
    wait_for(lambda: reported() == application_id)
    typed.take()
    keys(keyboard, 1, e.KEY_LEFTCTRL)
    click(100, 300, 200)
    wait_for(typed.down(e.KEY_C))
    keys(keyboard, 0, e.KEY_LEFTCTRL)
    return sorted({code for code, value in typed.take() if value == 1})


terminal_chord = sorted([e.KEY_LEFTCTRL, e.KEY_LEFTSHIFT, e.KEY_C])
plain_chord = sorted([e.KEY_LEFTCTRL, e.KEY_C])
for _ in range(2):
    chord = copy_chord("gnome-terminal-server")
    check(chord == terminal_chord, f"in the terminal the agent types its copy chord: {chord}")
    chord = copy_chord("textpad.py")
    check(chord == plain_chord, f"in the GTK window it types Control+C: {chord}")
check("which window is active" not in open(agent_err).read(),
      f"the agent does not warn of a missing source: {open(agent_err).read()!r}")

agent.terminate()
agent.wait(timeout=60)
check(script_loaded("snaplark-active-window") is False,
      "the agent takes its script out of KWin when it quits")

for process in (terminal, pad, kwin, bus_daemon):
    process.kill()
sys.exit(f"{guest.failures} checks failed" if guest.failures else 0)
