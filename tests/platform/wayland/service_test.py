#!/usr/bin/python3
# The input service as root and the agent as the session's user with no access to any device:
# scripts/wayland-guest --root -- THIS_FILE BUILD_DIR
# The agent copies and pastes through the service alone; other programs get nothing from it;
# nothing is left down when the agent dies mid-chord; the agent rides out the service's restart.
import os
import pwd
import signal
import struct
import subprocess
import sys
import tempfile

from evdev import ecodes as e

import guest
from guest import check, clipboard, click, has_input, keyboard, keys, wait_for

build = os.path.abspath(sys.argv[1])
user = pwd.getpwnam(os.environ["WAYLAND_GUEST_USER"])
SOCKET = "/run/snaplark/inputd.sock"
work = tempfile.mkdtemp()
os.chmod(work, 0o777)


def as_user(uid=user.pw_uid):
    """Runs as that user with no supplementary group: not "input", so no device is readable."""
    return ["setpriv", f"--reuid={uid}", f"--regid={uid}", "--clear-groups"]


# No device is open to anyone but root: the test's own devices are made as root.
os.chmod("/dev/uinput", 0o600)
check(wait_for(lambda: has_input("test mouse")), "sway has the test's keyboard and mouse")
guest.sway("input", "type:pointer", "accel_profile", "flat")

service_log = os.path.join(work, "service.log")


def start_service():
    process = subprocess.Popen([os.path.join(build, "snaplark-inputd"), "--user", user.pw_name],
                               stderr=open(service_log, "a"))
    wait_for(lambda: os.path.exists(SOCKET) or process.poll() is not None)
    return process


service = start_service()
check(os.path.exists(SOCKET), "the service listens on " + SOCKET)

bus_daemon = subprocess.Popen(as_user() + ["dbus-daemon", "--session", "--nofork",
                                           "--print-address=1"], stdout=subprocess.PIPE, text=True)
session_env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=bus_daemon.stdout.readline().strip(),
                   XDG_CONFIG_HOME=os.path.join(work, "config"), HOME=user.pw_dir)


def start_agent(name):
    out, err = os.path.join(work, name + ".out"), os.path.join(work, name + ".err")
    process = subprocess.Popen(as_user() + [os.path.join(build, "snaplark"), "--input=evdev"],
                               stdout=open(out, "w"), stderr=open(err, "w"), env=session_env)
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


# The agent's window needs a moment; by then it would have opened any device it meant to.
target_file = os.path.join(work, "target")
open(target_file, "w").close()
os.chmod(target_file, 0o666)
pad = guest.open_textpad(target_file, as_user(), session_env)
check(device_descriptors(agent.pid) == [],
      f"the agent holds no input device: {device_descriptors(agent.pid)}")
typed = guest.Typed()
left, right, source_y = pad.left, pad.right, pad.source_y
target_x, target_y = pad.target_x, pad.target_y

check(guest.copies(typed, left, right, source_y),
      f"Control+drag copies through the service (clipboard: {clipboard()!r})")
keys(keyboard, 1, e.KEY_LEFTCTRL, e.KEY_LEFTSHIFT)
click(target_x, target_y)
keys(keyboard, 0, e.KEY_LEFTSHIFT)
check(wait_for(typed.down(e.KEY_LEFTCTRL, e.KEY_V)), "the paste chord comes once Shift goes")
check(wait_for(lambda: open(target_file).read() == "copied by snaplark"),
      f"Control+Shift+click pastes ({open(target_file).read()!r})")
keys(keyboard, 0, e.KEY_LEFTCTRL)


# Motion and letter keys reach neither the service nor, through it, the agent.
woken = guest.woken_by_noise(agent.pid, service.pid)
check(woken[0] < 40 and woken[1] < 40,
      f"400 motion and letter events woke the agent {woken[0]} and the service {woken[1]} times")


def knock(uid, request=None):
    """Connects as that user, asks for a chord if given, and returns what the service sent."""
    script = (
        "import socket,sys\n"
        "s=socket.socket(socket.AF_UNIX,socket.SOCK_SEQPACKET)\n"
        f"s.connect({SOCKET!r}); s.settimeout(30)\n"
        "got=[s.recv(256)]\n"
        f"req={request!r}\n"
        "if req and got[0][:1]==b'\\x01': s.send(req); got.append(s.recv(256))\n"
        "print(repr(got))\n")
    out = subprocess.run(as_user(uid) + ["python3", "-c", script], capture_output=True, text=True,
                         timeout=60)
    return eval(out.stdout.strip() or "[]")


# Another user's program is turned away with a reason; the user's own program gets nothing typed
# for a click it did not see (here the last gestures already had their chords).
refused = knock(65534)
check(len(refused) == 1 and refused[0][:1] == b"\x04" and b"serves only" in refused[0],
      f"another user is refused: {refused}")
typed.take()
copy_request = struct.pack("=BBBBH10x", 16, 1, 1, 0, e.KEY_C)
answers = knock(user.pw_uid, copy_request)
check(len(answers) == 2 and answers[1][0] == 3 and answers[1][1] != 1 and typed.take() == [],
      f"a chord asked for with no click of its own is refused and not typed: {answers}")

# The agent killed while its paste waits for Shift: nothing of the agent's or the service's is
# left down, whatever comes of the chord.
keys(keyboard, 1, e.KEY_LEFTCTRL, e.KEY_LEFTSHIFT)
lines = len(agent_lines())
click(target_x, target_y)
wait_for(lambda: len(agent_lines()) >= lines + 2)
agent.kill()
agent.wait()
keys(keyboard, 0, e.KEY_LEFTSHIFT, e.KEY_LEFTCTRL)
check(wait_for(lambda: typed.device.active_keys() == []),
      f"no key is left down after the agent died mid-chord: {typed.device.active_keys()}")

# The service stops and comes back: the agent says so, and copies again once it is back.
agent, agent_lines, agent_said = start_agent("agent2")
wait_for(lambda: "input through snaplark-inputd" in agent_said())
service.send_signal(signal.SIGTERM)
check(service.wait(timeout=60) == 0 and not os.path.exists(SOCKET),
      "the service stops cleanly on SIGTERM and removes its socket")
check(wait_for(lambda: "does not answer" in agent_said()),
      f"the agent says the service is away: {agent_said()!r}")
service = start_service()
check(wait_for(lambda: "the input service is back" in agent_said()),
      f"the agent says it is back: {agent_said()!r}")
typed = guest.Typed()
click(right, source_y)
check(guest.copies(typed, left, right, source_y),
      f"Control+drag copies again after the restart (clipboard: {clipboard()!r})")
check(device_descriptors(agent.pid) == [], "the agent still holds no input device")

agent.terminate()
service.terminate()
service.wait(timeout=60)
print(open(service_log).read(), end="", file=sys.stderr)
sys.exit(f"{guest.failures} checks failed" if guest.failures else 0)
