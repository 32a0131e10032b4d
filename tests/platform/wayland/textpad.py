#!/usr/bin/python3
"""A GTK window with two text fields, for the Wayland session test: the first holds the text given,
the second starts empty. Prints where the fields lie in the window, as one JSON line, once shown;
writes the second field's text to the file given whenever it changes.

    textpad.py TEXT TARGET_FILE
"""
import json
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402

text, target_file = sys.argv[1], sys.argv[2]
window = Gtk.Window(title="textpad")
window.set_default_size(600, 200)
box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=20)
source = Gtk.Entry(text=text)
target = Gtk.Entry()
box.pack_start(source, False, False, 0)
box.pack_start(target, False, False, 0)
window.add(box)


def written(entry):
    with open(target_file, "w") as f:
        f.write(entry.get_text())


def report():
    places = {}
    for name, entry in (("source", source), ("target", target)):
        x, y = entry.translate_coordinates(window, 0, 0)
        a = entry.get_allocation()
        places[name] = {"x": x, "y": y, "width": a.width, "height": a.height}
    print(json.dumps(places), flush=True)
    return False


target.connect("changed", written)
window.connect("destroy", Gtk.main_quit)
window.show_all()
target.grab_focus()
# Nothing selected: a press on selected text would start dragging it rather than select anew.
source.select_region(0, 0)
GLib.timeout_add(300, report)
Gtk.main()
