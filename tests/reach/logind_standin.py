#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Stand-in of logind's sleep signal on the (private) system bus: owns
org.freedesktop.login1 and, on each SIGUSR1, says on /org/freedesktop/login1
what logind says around a sleep: PrepareForSleep(true), then (false)."""
import signal

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

IFACE = "org.freedesktop.login1.Manager"


class Manager(dbus.service.Object):
    @dbus.service.signal(IFACE, signature="b")
    def PrepareForSleep(self, start):
        pass


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SystemBus()
    name = dbus.service.BusName("org.freedesktop.login1", bus, do_not_queue=True)
    manager = Manager(bus, "/org/freedesktop/login1")
    loop = GLib.MainLoop()

    def sleep_and_wake():
        manager.PrepareForSleep(True)
        manager.PrepareForSleep(False)
        print("logind_standin: PrepareForSleep(true), PrepareForSleep(false)", flush=True)
        return True

    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, sleep_and_wake)
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, lambda: loop.quit() or False)
    print("logind_standin: owns %s" % name.get_name(), flush=True)
    loop.run()


if __name__ == "__main__":
    main()
