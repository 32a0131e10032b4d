#!/usr/bin/python3
# textpad.py TEXT TARGET_FILE: two text fields, the first holding TEXT. Prints where they lie in
# the window as one JSON line once shown; writes the second's text to TARGET_FILE on each change,
# and empties it on SIGUSR1.
import json
import signal
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402

window = Gtk.Window(title="textpad")
box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=20)
source = Gtk.Entry(text=sys.argv[1])
target = Gtk.Entry()
box.pack_start(source, False, False, 0)
box.pack_start(target, False, False, 0)
window.add(box)
target.connect("changed", lambda entry: open(sys.argv[2], "w").write(entry.get_text()))


def place(entry):
    x, y = entry.translate_coordinates(window, 0, 0)
    return {"x": x, "y": y, "width": entry.get_allocated_width(),
            "height": entry.get_allocated_height()}


window.show_all()
target.grab_focus()
# Nothing selected: a press on selected text would start dragging it rather than select anew.
source.select_region(0, 0)
GLib.timeout_add(300, lambda: print(json.dumps({"source": place(source), "target": place(target)}),
                                    flush=True))
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, lambda: target.set_text("") or True)
Gtk.main()
