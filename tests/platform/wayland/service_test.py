#!/usr/bin/python3
# The input service started as root, running as its own user, and the agent as the session's
# user with no access to any device: scripts/wayland-guest --root -- THIS_FILE BUILD_DIR
# First with --user NAME, as a hostile program of the same user would try it; then as the
# package runs it, following the active session: logind itself does not run in the guest, so the
# test keeps logind's records (/run/systemd) and places processes in a cgroup2 hierarchy as
# logind and systemd would, and the service reads them with logind's own library.
import json
import os
import pwd
import signal
import subprocess
import sys
import tempfile

from evdev import UInput, ecodes as e

import guest
from guest import check, clipboard, click, has_input, keyboard, keys, wait_for

build = os.path.abspath(sys.argv[1])
user = pwd.getpwnam(os.environ["WAYLAND_GUEST_USER"])
SOCKET = "/run/snaplark/inputd.sock"
here = os.path.dirname(os.path.abspath(__file__))
work = tempfile.mkdtemp()
os.chmod(work, 0o777)


def as_user(uid=user.pw_uid):
    """Runs as that user with no supplementary group: not "input", so no device is readable."""
    return ["setpriv", f"--reuid={uid}", f"--regid={uid}", "--clear-groups"]


guest.ensure_service_user()
service_user = pwd.getpwnam("snaplark-inputd")

# No device is open to anyone but root and the input group: the test's own devices are made as
# root.
os.chmod("/dev/uinput", 0o600)
check(wait_for(lambda: has_input("test mouse")), "sway has the test's keyboard and mouse")
guest.sway("input", "type:pointer", "accel_profile", "flat")

service_log = os.path.join(work, "service.log")


def start_service(*args):
    process = subprocess.Popen([os.path.join(build, "snaplark-inputd"), *args],
                               stderr=open(service_log, "a"))
    wait_for(lambda: os.path.exists(SOCKET) or process.poll() is not None)
    return process


def status(pid, field):
    return next(line.split()[1:] for line in open(f"/proc/{pid}/status")
                if line.startswith(field + ":"))


service = start_service("--user", user.pw_name)
check(os.path.exists(SOCKET), "the service listens on " + SOCKET)
check(wait_for(lambda: status(service.pid, "Uid") == [str(service_user.pw_uid)] * 4) and
      status(service.pid, "CapEff") == ["0000000000000000"],
      f"started as root, the service runs as snaplark-inputd with no capability: "
      f"{status(service.pid, 'Uid')} {status(service.pid, 'CapEff')}")

# The agent's session bus, with a tray host that writes the agent's tool tip to a file.
bus_daemon = subprocess.Popen(as_user() + ["dbus-daemon", "--session", "--nofork",
                                           "--print-address=1"], stdout=subprocess.PIPE, text=True)
session_env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=bus_daemon.stdout.readline().strip(),
                   XDG_CONFIG_HOME=os.path.join(work, "config"), HOME=user.pw_dir)
subprocess.Popen(as_user() + ["status-notifier-watcher"], env=session_env,
                 stderr=subprocess.DEVNULL)
tool_tip_file = os.path.join(work, "tooltip")
subprocess.Popen(as_user() + ["python3", os.path.join(here, "tray_host.py"), tool_tip_file],
                 env=session_env)
# Qt puts its icon on the bus only where a host is registered when it starts.
check(wait_for(lambda: os.path.exists(tool_tip_file)), "a tray host runs on the session bus")


def tool_tip(pid=None):
    """The agent's tool tip, as the tray host last read it from the newest icon's (pid's)."""
    try:
        owner, _, tip = open(tool_tip_file).read().partition(" ")
    except OSError:
        return ""
    return tip if owner == str(pid or agent.pid) else ""


def start_agent(name, prefix=()):
    """The agent, once it is running its loop: its icon is on the bus with a tool tip."""
    out, err = os.path.join(work, name + ".out"), os.path.join(work, name + ".err")
    process = subprocess.Popen([*prefix, *as_user(), os.path.join(build, "snaplark"),
                                "--input=evdev"], stdout=open(out, "w"), stderr=open(err, "w"),
                               env=session_env)
    check(wait_for(lambda: "Snaplark is" in tool_tip(process.pid)), f"the agent {name} is up")
    return process, lambda: open(out).read().splitlines(), lambda: open(err).read()


agent, agent_lines, agent_said = start_agent("agent")
check(wait_for(lambda: "input through snaplark-inputd" in agent_said()),
      f"the agent says it uses the service: {agent_said()!r}")


def device_descriptors(pid):
    links = []
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            links.append(os.readlink(f"/proc/{pid}/fd/{fd}"))
        except OSError:
            pass
    return [link for link in links if link.startswith(("/dev/input", "/dev/uinput"))]


pad = guest.open_textpad(work, as_user(), session_env)
check(device_descriptors(agent.pid) == [],
      f"the agent holds no input device: {device_descriptors(agent.pid)}")
typed = guest.Typed()
left, right, source_y = pad.left, pad.right, pad.source_y


def pastes(chord=(e.KEY_LEFTCTRL, e.KEY_V)):
    """Control+Shift+click: the chord comes once Shift goes, and the text arrives."""
    # An empty field: the Shift of the gesture then selects nothing for the paste to replace.
    pad.process.send_signal(signal.SIGUSR1)
    wait_for(lambda: pad.target_text() == "")
    typed.take()
    keys(keyboard, 1, e.KEY_LEFTCTRL, e.KEY_LEFTSHIFT)
    click(pad.target_x, pad.target_y)
    keys(keyboard, 0, e.KEY_LEFTSHIFT)
    chord_typed = wait_for(typed.down(*chord))
    pasted = chord_typed and wait_for(lambda: pad.target_text() == "copied by snaplark")
    keys(keyboard, 0, e.KEY_LEFTCTRL)
    return pasted


check(guest.copies(typed, left, right, source_y),
      f"Control+drag copies through the service (clipboard: {clipboard()!r})")
check(pastes(), f"Control+Shift+click pastes ({pad.target_text()!r})")

# Motion and letter keys reach neither the service nor, through it, the agent.
woken = guest.woken_by_noise(agent.pid, service.pid)
check(woken[0] < 40 and woken[1] < 40,
      f"400 motion and letter events woke the agent {woken[0]} and the service {woken[1]} times")

# A paste whose Shift the user holds past the chord's patience (1 s) is given up, and the service
# goes on to serve the next copy. The click in the target field after it leaves the source's text
# unselected, out of reach of what later steps type.
typed.take()
keys(keyboard, 1, e.KEY_LEFTCTRL, e.KEY_LEFTSHIFT)
click(pad.target_x, pad.target_y)
typed_while_held = wait_for(typed.down(e.KEY_LEFTCTRL, e.KEY_V), 3)
keys(keyboard, 0, e.KEY_LEFTSHIFT, e.KEY_LEFTCTRL)
goes_on = service.poll() is None and guest.copies(typed, left, right, source_y)
click(pad.target_x, pad.target_y)
check(not typed_while_held and goes_on,
      "a paste held up past its patience is given up, and the service serves the next copy")


def hostile(seconds, prefix=None, mark=None):
    """A program of the user's that connects again and again, names Control+Q's keys as its
    layout and asks for chords with made-up click numbers; what it was told, once it ends."""
    process = subprocess.Popen((prefix or as_user()) + ["python3", os.path.join(
                               here, "hostile_client.py"), SOCKET, str(seconds)] +
                               ([mark] if mark else []), stdout=subprocess.PIPE, text=True)
    return process, lambda: json.loads(process.communicate(timeout=seconds + 120)[0])


# Beside the agent, such a program is refused and told who holds the service; the agent's copy and
# paste still work, and nothing but their chords is typed.
typed.take()
program, told = hostile(8)
copied = guest.copies(typed, left, right, source_y)
pasted = pastes()
said = told()
check(copied, "the agent copies while another program keeps knocking")
check(pasted, f"...and pastes ({pad.target_text()!r})")
check(said["welcomed"] == 0 and said["busy"] == [agent.pid] and said["attempts"] > 20,
      f"each knock is refused, naming the agent's pid: {said}")
all_typed = [code for code, value in typed.take() if value == 1]
check(set(all_typed) <= {e.KEY_LEFTCTRL, e.KEY_C, e.KEY_V}, f"nothing else is typed: {all_typed}")

# Started before the agent, the program holds the service: the agent names it on standard error
# and in its tool tip, and takes its place once it ends.
agent.terminate()
agent.wait()
let_in = os.path.join(work, "let-in")
program, told = hostile(20, mark=let_in)
check(wait_for(lambda: os.path.exists(let_in)), "with no agent there, the program is let in")
agent, agent_lines, agent_said = start_agent("agent-squatted")
check(wait_for(lambda: f"pid {program.pid} (" in agent_said()),
      f"the agent names the program holding the service: {agent_said()!r}")
check(wait_for(lambda: f"pid {program.pid}" in tool_tip()),
      f"...in its tool tip too: {tool_tip()!r}")
said = told()
check(said["welcomed"] >= 1 and said["typed"] == 0,
      f"the program that held it had nothing typed: {said}")
check(wait_for(lambda: "the input service is back" in agent_said()),
      f"the agent takes the service once the program is gone: {agent_said()!r}")
check(wait_for(lambda: "Snaplark is active" in tool_tip() and f"pid {program.pid}" not in
               tool_tip()), f"the tool tip forgets it: {tool_tip()!r}")
check(guest.copies(typed, left, right, source_y), "and copies again")

# A mouse of another seat (udev's ID_SEAT) is not read: its Control+click is nobody's gesture
# here.
with open("/etc/udev/rules.d/99-seat1.rules", "w") as rule:
    rule.write('SUBSYSTEM=="input", ATTRS{name}=="seat1 mouse", ENV{ID_SEAT}="seat1"\n')
subprocess.run(["udevadm", "control", "--reload"], check=True)
seat1 = UInput({e.EV_KEY: [e.BTN_LEFT], e.EV_REL: [e.REL_X, e.REL_Y]}, name="seat1 mouse")
subprocess.run(["udevadm", "settle", "--timeout=60"])
lines = len(agent_lines())
keys(keyboard, 1, e.KEY_LEFTCTRL)
for value in (1, 0):
    guest.send(seat1, e.BTN_LEFT, value, pause=0.05)
click(right, pad.blank_y)
keys(keyboard, 0, e.KEY_LEFTCTRL)
check(wait_for(lambda: len(agent_lines()) >= lines + 2) and len(agent_lines()) == lines + 2,
      f"only the seat's own click is heard: {agent_lines()[lines:]}")
seat1.close()

# The agent killed while its paste waits for Shift: nothing of the agent's or the service's is
# left down, whatever comes of the chord.
keys(keyboard, 1, e.KEY_LEFTCTRL, e.KEY_LEFTSHIFT)
lines = len(agent_lines())
click(pad.target_x, pad.target_y)
wait_for(lambda: len(agent_lines()) >= lines + 2)
agent.kill()
agent.wait()
keys(keyboard, 0, e.KEY_LEFTSHIFT, e.KEY_LEFTCTRL)
check(wait_for(lambda: typed.device.active_keys() == []),
      f"no key is left down after the agent died mid-chord: {typed.device.active_keys()}")

# The service stops and comes back: the agent says so, and copies again once it is back.
agent, agent_lines, agent_said = start_agent("agent-restart")
wait_for(lambda: "input through snaplark-inputd" in agent_said())
service.send_signal(signal.SIGTERM)
check(service.wait(timeout=60) == 0 and not os.path.exists(SOCKET),
      "the service stops cleanly on SIGTERM and removes its socket")
check(wait_for(lambda: "does not answer" in agent_said()),
      f"the agent says the service is away: {agent_said()!r}")
service = start_service("--user", user.pw_name)
check(wait_for(lambda: "the input service is back" in agent_said()),
      f"the agent says it is back: {agent_said()!r}")
typed = guest.Typed()
click(right, source_y)
check(guest.copies(typed, left, right, source_y),
      f"Control+drag copies again after the restart (clipboard: {clipboard()!r})")

# Dvorak: the agent names that layout's keys, which the system's keyboard data has, and the
# service types them: copy on the I position, paste on the period key.
guest.us_keyboards("dvorak")
click(right, source_y)
check(guest.copies(typed, left, right, source_y, chord=(e.KEY_LEFTCTRL, e.KEY_I)),
      f"Control+drag copies with Dvorak (clipboard: {clipboard()!r})")
check(pastes((e.KEY_LEFTCTRL, e.KEY_DOT)),
      f"Control+Shift+click pastes with Dvorak ({pad.target_text()!r})")
guest.us_keyboards("basic")
agent.terminate()
agent.wait()
service.terminate()
service.wait(timeout=60)

# As the package runs it: whom to serve comes from logind's records. Session 2 is the user's
# graphical session at the seat, 3 another session of the same user, c1 the greeter's.
CGROUP = "/sys/fs/cgroup"
if subprocess.run(["mountpoint", "-q", CGROUP]).returncode != 0:
    subprocess.run(["mount", "-t", "cgroup2", "none", CGROUP], check=True)
user_slice = f"{CGROUP}/user.slice/user-{user.pw_uid}.slice"
manager = f"{user_slice}/user@{user.pw_uid}.service"
scopes = {"session": f"{user_slice}/session-2.scope", "other": f"{user_slice}/session-3.scope",
          "app": f"{manager}/app.slice/app-test.scope",
          "background": f"{manager}/background.slice/test.service"}
for path in scopes.values():
    os.makedirs(path, exist_ok=True)
# Readable by all, as logind leaves them: the service reads them as its own user.
for directory in ("", "seats", "sessions", "users"):
    os.makedirs(f"/run/systemd/{directory}", exist_ok=True)
    os.chmod(f"/run/systemd/{directory}", 0o755)


def record(path, **fields):
    # Written as logind writes them: whole, by a rename.
    with open(path + ".new", "w") as f:
        f.write("".join(f"{key}={value}\n" for key, value in fields.items()))
    os.chmod(path + ".new", 0o644)
    os.replace(path + ".new", path)


def session(id, uid, cls, type="wayland", active=0):
    record(f"/run/systemd/sessions/{id}", UID=uid, USER=pwd.getpwuid(uid).pw_name, ACTIVE=active,
           STATE="active" if active else "online", REMOTE=0, TYPE=type, CLASS=cls, SEAT="seat0")


def activate(id, uid):
    record("/run/systemd/seats/seat0", IS_SEAT0=1, CAN_MULTI_SESSION=1, ACTIVE=id, ACTIVE_UID=uid)


session("2", user.pw_uid, "user", active=1)
session("3", user.pw_uid, "user", type="tty")
session("c1", 65534, "greeter")
record(f"/run/systemd/users/{user.pw_uid}", NAME=user.pw_name, STATE="active", DISPLAY="2")
activate("2", user.pw_uid)


def placed(scope):
    """Runs the command in that scope (as root, before dropping to the user)."""
    return ["sh", "-c", f'echo $$ > {scopes[scope]}/cgroup.procs && exec "$@"', "placed"]


service = start_service()
typed = guest.Typed()
agent, agent_lines, agent_said = start_agent("agent-logind", placed("session"))
check(wait_for(lambda: "input through snaplark-inputd" in agent_said()) and
      guest.copies(typed, left, right, source_y),
      f"the agent of the active session copies: {agent_said()!r}")


def knock_from(scope):
    program, told = hostile(1, placed(scope) + as_user())
    return told()


said = knock_from("other")
check(said["welcomed"] == 0 and said["busy"] == [] and
      any("not part of it" in r for r in said["refused"]),
      f"a program of the user's other session is refused: {said}")
said = knock_from("background")
check(said["welcomed"] == 0 and said["busy"] == [] and said["refused"],
      f"a background service of the user is refused: {said}")
said = knock_from("app")
check(said["busy"] == [agent.pid],
      f"an application the desktop started is of the session (and finds the agent there): {said}")

# The greeter takes the seat: the agent is cut off with its clicks, and its gestures type
# nothing until the session is back.
activate("c1", 65534)
check(wait_for(lambda: "now serves another session" in agent_said()),
      f"the agent is cut off when the greeter is active: {agent_said()!r}")
typed.take()
lines = len(agent_lines())
keys(keyboard, 1, e.KEY_LEFTCTRL)
click(left, source_y, right)
wait_for(lambda: len(agent_lines()) >= lines + 2)
keys(keyboard, 0, e.KEY_LEFTCTRL)
said = knock_from("session")
check(any("there is none" in r for r in said["refused"]),
      f"no one is served while the greeter is active: {said}")
check(typed.take() == [], "the agent's gesture types nothing while the greeter is active")
activate("2", user.pw_uid)
check(wait_for(lambda: agent_said().count("the input service is back") >= 1),
      f"the agent is served again once its session is back: {agent_said()!r}")
click(right, source_y)
check(guest.copies(typed, left, right, source_y), "and copies again")

agent.terminate()
service.terminate()
service.wait(timeout=60)
print(open(service_log).read(), end="", file=sys.stderr)
guest.finish()
