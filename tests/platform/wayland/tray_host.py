#!/usr/bin/python3
# tray_host.py FILE: a StatusNotifier host on the session bus, as a panel would be, that keeps the
# newest item's owner's pid and tool tip in FILE (made, empty, once the host is registered), read
# whenever an item comes or says its tool tip changed.
import os
import sys

from gi.repository import Gio, GLib

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import buses  # noqa: E402

bus = Gio.bus_get_sync(Gio.BusType.SESSION)


def register():
    if not buses.host_registered(bus):
        return True
    open(sys.argv[1], "w").close()
    # Read when something may have changed, never by polling: the agent's wake-ups are measured.
    bus.signal_subscribe(None, "org.kde.StatusNotifierWatcher", "StatusNotifierItemRegistered",
                         None, None, Gio.DBusSignalFlags.NONE, lambda *_: follow())
    bus.signal_subscribe(None, "org.kde.StatusNotifierItem", "NewToolTip", None, None,
                         Gio.DBusSignalFlags.NONE, lambda *_: follow())
    follow()
    return False


def follow():
    try:
        items = buses.prop(bus, *buses.WATCHER, "RegisteredStatusNotifierItems")
        if items:
            # The newest item: an agent that quit takes its own away.
            tip = buses.item_prop(bus, items[-1], "ToolTip")
            name = items[-1].partition("/")[0]
            pid = buses.call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                             "org.freedesktop.DBus", "GetConnectionUnixProcessID",
                             GLib.Variant("(s)", (name,)), "(u)")[0]
            with open(sys.argv[1] + ".new", "w") as f:
                f.write(f"{pid} {tip!r}")
            os.replace(sys.argv[1] + ".new", sys.argv[1])
    except GLib.Error:
        pass


GLib.timeout_add(50, register)
GLib.MainLoop().run()
