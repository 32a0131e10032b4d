#!/usr/bin/python3
# KDE Plasma's compositor keeps the active window to itself: the agent loads a script into KWin
# that reports it over D-Bus. Here a real KWin (kwin_wayland, virtual output) runs GNOME Terminal
# and a GTK window; the agent must follow KWin's activations of each, and take its script out of
# KWin when it quits. KWin answers a script's run with success even when the script throws, and
# drops it: the agent asks isScriptLoaded afterwards, which a broken copy of its script shows to
# answer false. In the guest's session (KWin 5.27, Debian 12) the agent also types: the
# terminal's copy chord there, the plain one in the other window. Elsewhere (--no-input: KWin 6 in
# a Debian 13 root, no input devices) what it would type for an id is the terminal table's.
# (Konsole and foot would be the natural terminals here, but under KWin 5.27 with software
# rendering and a slow machine, Konsole's window crashes KWin, and foot stops on KWin's output.)
#   scripts/wayland-guest -- THIS_FILE BUILD_DIR
#   scripts/debian13 -- THIS_FILE BUILD_DIR --no-input
import atexit
import functools
import os
import shutil
import subprocess
import sys
import tempfile

from gi.repository import Gio, GLib

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import buses  # noqa: E402
from checks import check, finish, wait_for  # noqa: E402

# In the guest's session the agent reads the test's devices and types on its own.
typing = "--no-input" not in sys.argv
if typing:
    from evdev import ecodes as e
    import guest
    from guest import click, keyboard, keys

build = os.path.abspath(sys.argv[1])
work = tempfile.mkdtemp()
kwin_log = os.path.join(work, "kwin.log")
if typing:
    # KWin's log, for the host to read afterwards (scripts/wayland-guest hands back this folder).
    atexit.register(lambda: shutil.copy(kwin_log, os.environ["WAYLAND_GUEST_OUT"]))
else:
    os.environ.setdefault("XDG_RUNTIME_DIR", work)

# Services the bus starts (GNOME Terminal's server) show their windows in KWin.
bus_daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                              stdout=subprocess.PIPE, stderr=open(os.path.join(work, "bus.log"), "w"),
                              text=True, env=dict(os.environ, WAYLAND_DISPLAY="kwin-test"))
os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus_daemon.stdout.readline().strip()
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
# The session's sway keeps the test's devices; KWin shows its windows on a virtual output and
# reads no input, which the agent does not need from it: it reads the devices itself.
# Without Plasma's own packages KWin has no window decoration that loads; it draws none.
kwin_config = os.path.join(work, "kwin-config")
os.makedirs(kwin_config)
open(os.path.join(kwin_config, "kwinrc"), "w").write("[org.kde.kdecoration2]\nNoPlugin=true\n")
kwin = subprocess.Popen(["kwin_wayland", "--virtual", "--no-lockscreen", "--socket", "kwin-test",
                         "--width", "1024", "--height", "768"],
                        stdout=open(kwin_log, "w"), stderr=subprocess.STDOUT,
                        env=dict(os.environ, KWIN_COMPOSE="Q", XDG_CONFIG_HOME=kwin_config))
in_kwin = dict(os.environ, WAYLAND_DISPLAY="kwin-test")
call = functools.partial(buses.call, bus)
reported = functools.partial(buses.reported, bus)
SCRIPTING = ("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting")
runs = 0


def run_script(source, name):
    """Loads a script of the test's into KWin and runs it; what it prints goes to KWin's log.
    Whether KWin answered the run without an error."""
    global runs
    runs += 1
    path = os.path.join(work, f"test{runs}.js")
    open(path, "w").write(source)
    script_id = call(*SCRIPTING, "loadScript", GLib.Variant("(ss)", (path, name)), "(i)")[0]
    # KWin 6 puts a loaded script at /Scripting/Script<id>, KWin 5 at /<id>.
    for object_path in (f"/Scripting/Script{script_id}", f"/{script_id}"):
        try:
            call("org.kde.KWin", object_path, "org.kde.kwin.Script", "run")
            return True
        except GLib.Error:
            pass
    return False


def kwin_script(source):
    run_script(source, f"snaplark-test-{runs + 1}")
    call(*SCRIPTING, "unloadScript", GLib.Variant("(s)", (f"snaplark-test-{runs}",)))


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

# The agent's script with a mistake, under its name: KWin says the run went well, and drops it.
AGENT_SCRIPT = "snaplark-active-window"
source = open(os.path.join(os.path.dirname(__file__), "..", "..", "..", "data", "kwin",
                           "active-window.js")).read()
ran = run_script(source.replace("workspace.", "workspaces."), AGENT_SCRIPT)
check(ran and wait_for(lambda: script_loaded(AGENT_SCRIPT) is False),
      "a script that throws runs without an error from KWin, and is not loaded after it")

terminal = subprocess.Popen(["gnome-terminal", "--wait", "--", "sh", "-c", "while :; do sleep 1; done"],
                            env=in_kwin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
pad = subprocess.Popen([os.path.join(os.path.dirname(os.path.abspath(__file__)), "textpad.py"),
                        "copied by snaplark", os.path.join(work, "target")],
                       env=in_kwin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
# Debian 12's GNOME Terminal names itself by its program, Debian 13's by its application id.
TERMINALS = {"gnome-terminal-server", "org.gnome.Terminal"}
terminal_id = wait_for(lambda: "textpad.py" in (ids := window_classes()) and
                       next(iter(TERMINALS.intersection(ids)), None), 180)
check(terminal_id, f"KWin shows the terminal and the GTK window: {window_classes()}")

agent_err = os.path.join(work, "agent.err")
no_devices = os.path.join(work, "no-devices")
os.makedirs(no_devices)
without_input = {} if typing else dict(SNAPLARK_INPUT_DIR=no_devices,
                                       SNAPLARK_INPUT_SERVICE=os.path.join(work, "no-service"))
agent = subprocess.Popen([os.path.join(build, "snaplark"), "--input=evdev"], env=dict(
    in_kwin, XDG_CONFIG_HOME=os.path.join(work, "config"), **without_input),
    stdout=subprocess.DEVNULL, stderr=open(agent_err, "w"))
check(wait_for(lambda: script_loaded(AGENT_SCRIPT)), "the agent's script runs in KWin")
if typing:
    typed = wait_for(lambda: guest.Typed() if guest.has_input("Snaplark virtual keyboard") else None)


def copy_chord():
    """Control+drags: the chord the agent types."""
    typed.take()
    keys(keyboard, 1, e.KEY_LEFTCTRL)
    click(100, 300, 200)
    wait_for(typed.down(e.KEY_C))
    keys(keyboard, 0, e.KEY_LEFTCTRL)
    return sorted({code for code, value in typed.take() if value == 1})


for _ in range(2):
    for application_id in (terminal_id, "textpad.py"):
        activate(application_id)
        # The report reaches the agent over D-Bus, on the thread that types.
        check(wait_for(lambda: reported() == application_id),
              f"the agent follows KWin to {application_id}: {reported()}")
        if typing:
            # The terminal's copy chord in the terminal, Control+C in the GTK window.
            chord = copy_chord()
            shift = [e.KEY_LEFTSHIFT] if application_id == terminal_id else []
            check(chord == sorted([e.KEY_LEFTCTRL, e.KEY_C] + shift),
                  f"there a copy types {[e.KEY[code] for code in chord]}")
errors = open(agent_err).read()
check("which window is active" not in errors and "No Icon set" not in errors,
      f"the agent warns of no missing source and no missing icon: {errors!r}")

agent.terminate()
agent.wait(timeout=60)
check(script_loaded(AGENT_SCRIPT) is False, "the agent takes its script out of KWin when it quits")

for process in (terminal, pad, kwin, bus_daemon):
    process.kill()
finish([] if typing else [kwin_log, agent_err])
