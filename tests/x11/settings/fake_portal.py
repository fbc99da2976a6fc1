#!/usr/bin/env python3
"""A stand-in for the desktop's settings portal on the session bus: answers
Read and ReadOne for org.freedesktop.appearance color-scheme, and announces a
new scheme with SettingChanged for each number read from standard input.
Prints "ready" once it owns org.freedesktop.portal.Desktop."""
import sys

from gi.repository import Gio, GLib

XML = """
<node>
  <interface name="org.freedesktop.portal.Settings">
    <method name="Read">
      <arg type="s" name="namespace" direction="in"/>
      <arg type="s" name="key" direction="in"/>
      <arg type="v" name="value" direction="out"/>
    </method>
    <method name="ReadOne">
      <arg type="s" name="namespace" direction="in"/>
      <arg type="s" name="key" direction="in"/>
      <arg type="v" name="value" direction="out"/>
    </method>
    <signal name="SettingChanged">
      <arg type="s" name="namespace"/>
      <arg type="s" name="key"/>
      <arg type="v" name="value"/>
    </signal>
  </interface>
</node>
"""
PATH = "/org/freedesktop/portal/desktop"
state = {"scheme": int(sys.argv[1]) if len(sys.argv) > 1 else 0, "conn": None}


def on_call(conn, sender, path, iface, method, params, invocation):
    namespace, key = params.unpack()
    value = state["scheme"] if (namespace, key) == ("org.freedesktop.appearance", "color-scheme") else 0
    inner = GLib.Variant("u", value)
    if method == "Read":  # the older call wraps the value once more
        inner = GLib.Variant("v", inner)
    invocation.return_value(GLib.Variant("(v)", (inner,)))


def on_bus(conn, name):
    state["conn"] = conn
    node = Gio.DBusNodeInfo.new_for_xml(XML)
    conn.register_object(PATH, node.interfaces[0], on_call, None, None)


def on_name(conn, name):
    print("ready", flush=True)


def on_input(channel, condition):
    line = sys.stdin.readline()
    if not line:
        loop.quit()
        return False
    state["scheme"] = int(line.strip())
    state["conn"].emit_signal(None, PATH, "org.freedesktop.portal.Settings", "SettingChanged",
                              GLib.Variant("(ssv)", ("org.freedesktop.appearance", "color-scheme",
                                                     GLib.Variant("u", state["scheme"]))))
    state["conn"].flush_sync(None)
    print(f"scheme {state['scheme']}", flush=True)
    return True


loop = GLib.MainLoop()
Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.portal.Desktop", Gio.BusNameOwnerFlags.NONE,
                 on_bus, on_name, lambda *a: loop.quit())
GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.IO_IN | GLib.IO_HUP, on_input)
loop.run()
