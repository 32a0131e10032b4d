#!/usr/bin/python3
# tray_host.py FILE: a StatusNotifier host on the session bus, as a panel would be, that keeps the
# newest item's owner's pid and tool tip in FILE (made, empty, once the host is registered), read
# whenever an item comes or says its tool tip changed.
import os
import sys

from gi.repository import Gio, GLib

bus = Gio.bus_get_sync(Gio.BusType.SESSION)
WATCHER = ("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
           "org.kde.StatusNotifierWatcher")


def call(name, path, interface, method, args=None, reply=None):
    return bus.call_sync(name, path, interface, method, args, reply and GLib.VariantType(reply),
                         Gio.DBusCallFlags.NONE, 30000, None).unpack()


def prop(name, path, interface, key):
    return call(name, path, "org.freedesktop.DBus.Properties", "Get",
                GLib.Variant("(ss)", (interface, key)), "(v)")[0]


def register():
    try:
        call(*WATCHER, "RegisterStatusNotifierHost", GLib.Variant("(s)", (bus.get_unique_name(),)))
    except GLib.Error:
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
        items = prop(*WATCHER, "RegisteredStatusNotifierItems")
        if items:
            # The newest item: an agent that quit takes its own away.
            name, _, path = items[-1].partition("/")
            tip = prop(name, "/" + path if path else "/StatusNotifierItem",
                       "org.kde.StatusNotifierItem", "ToolTip")
            pid = call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                       "GetConnectionUnixProcessID", GLib.Variant("(s)", (name,)), "(u)")[0]
            with open(sys.argv[1] + ".new", "w") as f:
                f.write(f"{pid} {tip!r}")
            os.replace(sys.argv[1] + ".new", sys.argv[1])
    except GLib.Error:
        pass


GLib.timeout_add(50, register)
GLib.MainLoop().run()
