# Calls over a D-Bus connection for the tests written in Python, and what the agent tells there.
from gi.repository import GLib, Gio


def call(bus, name, path, interface, method, args=None, reply=None):
    return bus.call_sync(name, path, interface, method, args, reply and GLib.VariantType(reply),
                         Gio.DBusCallFlags.NONE, 30000, None).unpack()


def prop(bus, name, path, interface, key):
    return call(bus, name, path, "org.freedesktop.DBus.Properties", "Get",
                GLib.Variant("(ss)", (interface, key)), "(v)")[0]


def reported(bus):
    """The application id the agent goes by, as the desktop last reported it; None while the
    agent is not on the bus."""
    try:
        return prop(bus, "example.snaplark.Snaplark", "/example/snaplark/ActiveWindow",
                    "example.snaplark.ActiveWindow", "ActiveApplication")
    except GLib.Error:
        return None
