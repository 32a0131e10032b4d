#!/usr/bin/python3
# hostile_client.py SOCKET SECONDS [MARK]: a program of the session's user trying to have the input
# service type for it. For SECONDS it connects again and again, names Control+Q's and Control+M's
# keys as its layout, and asks for copies and pastes with made-up click numbers, one at a time,
# up to about a hundred a second (under the service's flood limit). It touches MARK once it is
# let in, and prints as JSON what it was told.
import json
import pathlib
import random
import socket
import struct
import sys
import time

path, seconds = sys.argv[1], float(sys.argv[2])
mark = sys.argv[3] if len(sys.argv) > 3 else None
end = time.monotonic() + seconds
told = {"attempts": 0, "welcomed": 0, "busy": [], "refused": [], "typed": 0, "clicks": 0}
while time.monotonic() < end:
    told["attempts"] += 1
    s = socket.socket(socket.AF_UNIX, socket.SOCK_SEQPACKET)
    try:
        s.connect(path)
        s.send(struct.pack("=BBHH18x", 17, 0, 16, 50))
    except OSError:
        s.close()
        time.sleep(0.1)
        continue
    left = asked = False
    while not left and time.monotonic() < end:
        # What it was sent is read first, as a well-behaved client would: the answer to its last
        # request (waited for a while), then whatever else came.
        s.settimeout(0.2 if asked else 0.01)
        while True:
            try:
                message = s.recv(256)
            except socket.timeout:
                break
            except OSError:
                left = True
                break
            if not message:
                left = True
                break
            s.settimeout(0.01)
            kind = message[0]
            if kind == 1:
                told["welcomed"] += 1
                if mark:
                    pathlib.Path(mark).touch()
            elif kind == 2:
                told["clicks"] += 1
            elif kind == 3 and message[1] == 1:
                told["typed"] += 1
            elif kind == 4:
                told["refused"].append(message[1:].decode(errors="replace"))
            elif kind == 5:
                told["busy"].append(struct.unpack_from("=I", message, 4)[0])
        if left:
            break
        try:
            s.send(struct.pack("=BBBB4xQ8x", 16, random.choice((1, 2)), 1, 0,
                               random.getrandbits(64) | 1))
            asked = True
        except OSError:
            break
    s.close()
    time.sleep(0.1)
told["busy"] = sorted(set(told["busy"]))
told["refused"] = sorted(set(told["refused"]))
print(json.dumps(told))
