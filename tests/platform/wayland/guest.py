# Helpers for tests inside scripts/wayland-guest's sway session: the checks and waits (the guest
# is emulated and slow: their bounds are generous), sway's view of windows and inputs, the test's
# own uinput keyboard and mouse, and what the agent types, read from its virtual keyboard as it
# comes.
import json
import os
import subprocess
import sys
import time
from types import SimpleNamespace

from evdev import InputDevice, UInput, ecodes as e, list_devices

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import buses  # noqa: E402,F401 (the tests take it from here)
from checks import check, finish, wait_for  # noqa: E402,F401 (and these)


def sway(*args):
    out = subprocess.run(["swaymsg", "-r", *args], capture_output=True, text=True)
    if out.returncode != 0:
        sys.exit(f"swaymsg {' '.join(args)}: {out.stdout.strip()} {out.stderr.strip()}")
    return json.loads(out.stdout) if out.stdout.strip() else None


def has_input(name):
    return any(i["name"] == name for i in sway("-t", "get_inputs"))


def find(key, value):
    def walk(node):
        if node.get(key) == value:
            return node
        return next(filter(None, map(walk, node["nodes"] + node["floating_nodes"])), None)
    return walk(sway("-t", "get_tree"))


def window(key, value, focused=False):
    """Where a window's content starts, once sway has given it its title bar (a window starts
    below it; a click on the title bar only focuses the window); with focused, once it also has
    the focus."""
    w = wait_for(lambda: (n := find(key, value)) and n["rect"]["y"] > 0 and
                 (n["focused"] or not focused) and n)
    return w["rect"]["x"] + w["window_rect"]["x"], w["rect"]["y"] + w["window_rect"]["y"]


def middle(name):
    """The middle of a window's content, as sway has it now: a new window moves by its title bar
    once its decorations are settled, and a click on the title bar only focuses it."""
    w = find("name", name)
    return (w["rect"]["x"] + w["window_rect"]["x"] + w["window_rect"]["width"] // 2,
            w["rect"]["y"] + w["window_rect"]["y"] + w["window_rect"]["height"] // 2)


keyboard = UInput({e.EV_KEY: [e.KEY_LEFTCTRL, e.KEY_LEFTSHIFT, e.KEY_ENTER]}, name="test keyboard")
mouse = UInput({e.EV_KEY: [e.BTN_LEFT, e.BTN_RIGHT], e.EV_REL: [e.REL_X, e.REL_Y]}, name="test mouse")


def send(device, code, value, kind=e.EV_KEY, pause=0.0):
    device.write(kind, code, value)
    device.syn()
    # Pacing for sway and the applications, as a hand would go: the agent needs none.
    time.sleep(pause)


def us_keyboards(variant):
    """Sway's keyboards on that variant of the US layout; the last request returns once sway has
    sent the new keymap to its clients."""
    sway("input", "type:keyboard", "xkb_layout", "us")
    sway("input", "type:keyboard", "xkb_variant", variant)
    sway("-t", "get_inputs")


def keys(device, value, *codes):
    for code in codes:
        send(device, code, value)
    time.sleep(0.02)


def click(x, y, to_x=None):
    # Warped there, then moved by the mouse, so that the window under it hears of the pointer
    # from the device the clicks come from; a drag moves on as a hand would.
    sway("seat", "seat0", "cursor", "set", str(x - 1), str(y))
    send(mouse, e.REL_X, 1, e.EV_REL, 0.05)
    send(mouse, e.BTN_LEFT, 1, pause=0.05)
    for _ in range(x, to_x or x, 20):
        send(mouse, e.REL_X, 20, e.EV_REL, 0.01)
    send(mouse, e.BTN_LEFT, 0, pause=0.05)


class Typed:
    """What the agent types, read from its virtual keyboard as it comes."""

    def __init__(self):
        self.device = next(d for d in map(InputDevice, list_devices())
                           if d.name == "Snaplark virtual keyboard")
        self.events = []

    def read(self):
        try:
            self.events += [(ev.code, ev.value) for ev in self.device.read() if ev.type == e.EV_KEY]
        except BlockingIOError:
            pass
        return self.events

    def take(self):
        self.read()
        events, self.events = self.events, []
        return events

    def down(self, *codes):
        return lambda: all((code, 1) in self.read() for code in codes)


def clipboard():
    return subprocess.run(["wl-paste", "--no-newline"], capture_output=True, text=True,
                          timeout=30).stdout


def copies(typed, x0, x1, y, text="copied by snaplark", chord=(e.KEY_LEFTCTRL, e.KEY_C)):
    """Control+drag: the chord comes while Control is held, and the clipboard changes before
    Control is let go."""
    # wl-copy leaves a process behind that takes the clipboard: once it has, the copy may come.
    subprocess.run(["wl-copy", "nothing yet"], check=True, timeout=30)
    wait_for(lambda: clipboard() == "nothing yet")
    typed.take()
    keys(keyboard, 1, e.KEY_LEFTCTRL)
    click(x0, y, x1)
    chord_typed = wait_for(typed.down(*chord))
    copied = chord_typed and wait_for(lambda: clipboard().startswith(text))
    keys(keyboard, 0, e.KEY_LEFTCTRL)
    if not chord_typed:
        print(f"# typed: {typed.events}", flush=True)
    return chord_typed and copied


def woken_by_noise(*pids):
    """How often each process woke (voluntary context switches of all its threads) while 200
    pointer motions and 200 letter key events were written, none of them a gesture."""
    def wakeups(pid):
        total = 0
        for task in os.listdir(f"/proc/{pid}/task"):
            for line in open(f"/proc/{pid}/task/{task}/status"):
                if line.startswith("voluntary_ctxt_switches"):
                    total += int(line.split()[1])
        return total

    letters = UInput({e.EV_KEY: [e.KEY_A]}, name="letter keyboard")
    wait_for(lambda: has_input("letter keyboard"))
    before = [wakeups(pid) for pid in pids]
    for i in range(200):
        send(mouse, e.REL_Y, 1 if i % 2 else -1, e.EV_REL)
        send(letters, e.KEY_A, i % 2)
        time.sleep(0.002)
    woken = [wakeups(pid) - start for pid, start in zip(pids, before)]
    letters.close()
    wait_for(lambda: not has_input("letter keyboard"))
    return woken


def ensure_service_user():
    """The input service's user, which the package makes and the guest's files (the host's) may
    lack; a root-started service becomes it."""
    if subprocess.run(["getent", "passwd", "snaplark-inputd"], capture_output=True).returncode:
        subprocess.run(["useradd", "--system", "--no-create-home", "--home-dir", "/", "--shell",
                        "/usr/sbin/nologin", "--groups", "input", "snaplark-inputd"], check=True)


def open_textpad(work, prefix=(), env=None):
    """The test's GTK window: a field holding "copied by snaplark" and an empty one whose text goes
    to a file in work (which the window may write as another user); with the process, that text,
    and where to click in the window as sway has placed it."""
    target_file = os.path.join(work, "target")
    open(target_file, "w").close()
    os.chmod(target_file, 0o666)
    process = subprocess.Popen([*prefix, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                      "textpad.py"), "copied by snaplark",
                                target_file], stdout=subprocess.PIPE, text=True, env=env)
    places = json.loads(process.stdout.readline())
    source, target = places["source"], places["target"]
    ox, oy = window("name", "textpad")
    return SimpleNamespace(
        process=process, target_text=lambda: open(target_file).read(),
        # From just inside the text area (the frame around it takes no clicks) to its far end; it
        # keeps its left end while other windows open beside it.
        left=ox + source["x"] + 10, right=ox + source["x"] + source["width"] - 10,
        source_y=oy + source["y"] + source["height"] // 2,
        target_x=ox + target["x"] + 10, target_y=oy + target["y"] + target["height"] // 2,
        # Below both fields: a click there leaves their text and selections alone (a press on
        # selected text would start dragging it).
        blank_y=oy + 300)
