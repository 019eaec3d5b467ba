"""Loads a menu entry with GLib's own loader and starts it as a desktop's menu
would, then waits for the program: exits with its status, or 2 when GLib does
not take the entry."""
import os
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

try:
    info = Gio.DesktopAppInfo.new_from_filename(sys.argv[1])
except TypeError:  # what PyGObject makes of the NULL GLib returns
    info = None
if info is None:
    print(f"GLib does not load {sys.argv[1]}", file=sys.stderr)
    sys.exit(2)
started = []
info.launch_uris_as_manager(
    [], None, GLib.SpawnFlags.SEARCH_PATH | GLib.SpawnFlags.DO_NOT_REAP_CHILD,
    None, None, lambda _info, pid, _data: started.append(pid), None)
_, status = os.waitpid(started[0], 0)
sys.exit(os.waitstatus_to_exitcode(status))
