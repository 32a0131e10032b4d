# Calls over a D-Bus connection for the tests written in Python, and what the agent tells there.
from gi.repository import GLib, Gio

# Where the agent hears and tells which application is active.
ACTIVE_WINDOW = ("example.snaplark.Snaplark", "/example/snaplark/ActiveWindow",
                 "example.snaplark.ActiveWindow")
WATCHER = ("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher")


def call(bus, name, path, interface, method, args=None, reply=None):
    return bus.call_sync(name, path, interface, method, args, reply and GLib.VariantType(reply),
                         Gio.DBusCallFlags.NONE, 30000, None).unpack()


def prop(bus, name, path, interface, key):
    return call(bus, name, path, "org.freedesktop.DBus.Properties", "Get",
                GLib.Variant("(ss)", (interface, key)), "(v)")[0]


def host_registered(bus):
    """Registers the connection as a StatusNotifier host, as a panel does; whether the watcher
    took it (False while there is none)."""
    try:
        host = GLib.Variant("(s)", (bus.get_unique_name(),))
        return call(bus, *WATCHER, "RegisterStatusNotifierHost", host) == ()
    except GLib.Error:
        return False


def item_prop(bus, item, key):
    """A property of a StatusNotifierItem as the watcher lists it: a bus name, maybe with a path."""
    name, _, path = item.partition("/")
    return prop(bus, name, "/" + path if path else "/StatusNotifierItem",
                "org.kde.StatusNotifierItem", key)


def reported(bus):
    """The application id the agent goes by, as the desktop last reported it; None while the
    agent is not on the bus."""
    try:
        return prop(bus, *ACTIVE_WINDOW, "ActiveApplication")
    except GLib.Error:
        return None
