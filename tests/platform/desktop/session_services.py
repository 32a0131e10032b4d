#!/usr/bin/python3
# session_services.py LOG: what a desktop offers on the session bus, as far as the agent's problems
# go: a notification server (org.freedesktop.Notifications) that logs each notification and
# presses its button if it has one, and GNOME Shell's extension switch (org.gnome.Shell.Extensions,
# GNOME 43) whose enabling of Snaplark's extension does what the extension does once it loads: it
# tells the agent that it shows the agent's icon. Each call is a JSON line in LOG.
import json
import sys

from gi.repository import Gio, GLib

log = open(sys.argv[1], "a", buffering=1)
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
XML = """<node>
  <interface name="org.freedesktop.Notifications">
    <method name="Notify">
      <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
      <arg type="u" direction="out"/>
    </method>
    <method name="GetCapabilities"><arg type="as" direction="out"/></method>
    <signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
  </interface>
  <interface name="org.gnome.Shell.Extensions">
    <method name="EnableExtension">
      <arg type="s" direction="in"/><arg type="b" direction="out"/>
    </method>
    <property name="ShellVersion" type="s" access="read"/>
  </interface>
</node>"""
node = Gio.DBusNodeInfo.new_for_xml(XML)
last_id = 0


def called(connection, sender, path, interface, method, args, invocation):
    global last_id
    values = args.unpack()
    log.write(json.dumps({"method": method, "args": values}) + "\n")
    if method == "Notify":
        last_id = values[1] or last_id + 1
        invocation.return_value(GLib.Variant("(u)", (last_id,)))
        actions = values[5]
        if actions:
            # The user presses the button, a moment after it is shown.
            GLib.timeout_add(200, lambda id=last_id, key=actions[0]: connection.emit_signal(
                None, "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                "ActionInvoked", GLib.Variant("(us)", (id, key))) and False)
    elif method == "GetCapabilities":
        invocation.return_value(GLib.Variant("(as)", (["body", "actions"],)))
    elif method == "EnableExtension":
        invocation.return_value(GLib.Variant("(b)", (True,)))
        connection.call("example.snaplark.Snaplark", "/example/snaplark/StatusMenu",
                        "example.snaplark.StatusMenu", "IconShown", GLib.Variant("(b)", (True,)),
                        None, Gio.DBusCallFlags.NONE, -1, None, None)


def get_property(connection, sender, path, interface, name):
    return GLib.Variant("s", "43.9")


for path, interface in (("/org/freedesktop/Notifications", 0), ("/org/gnome/Shell", 1)):
    bus.register_object(path, node.interfaces[interface], called, get_property, None)
for name in ("org.freedesktop.Notifications", "org.gnome.Shell"):
    Gio.bus_own_name_on_connection(bus, name, Gio.BusNameOwnerFlags.NONE, None, None)
log.write(json.dumps({"ready": True}) + "\n")
GLib.MainLoop().run()
