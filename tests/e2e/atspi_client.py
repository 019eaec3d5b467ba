#!/usr/bin/python3
"""What a screen reader gets from the launcher on Linux, asked through AT-SPI
as screen readers ask: runs the launcher in a game installation on the
private session bus this runs on, walks its accessible tree, then presses the
link, the help key, a check box and "New game" the way an assistive tool
does. Exits non-zero with a line per fault.

usage: atspi_client.py LAUNCHER_DIR WORK_DIR
"""
import os
import subprocess
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
gi.require_version("Gio", "2.0")
from gi.repository import Atspi, Gio, GLib  # noqa: E402

# The action names' getter has a newer name that Python cannot reach (it
# clashes with the accessible's own name); the old one works as it did.
warnings.filterwarnings("ignore", category=DeprecationWarning)

game, work = sys.argv[1], sys.argv[2]
faults = []

# role, name, description of every control, as the player should hear them.
CONTROLS = sorted([
    ("combo box", "Colors", "Select color depth"),
    ("check box", "Windowed mode", "Enable windowed mode (a black edge appears around the screen)"),
    ("check box", "Cinemascope mode", "Enable cinemascope feature (looks like 16/9)"),
    ("check box", "Sub-titles", "Enable sub-titles"),
    ("combo box", "Saved game", "Select a saved game"),
    ("combo box", "Resolution", "Select the resolution of the game"),
    ("label", "Colors", "Select color depth"),
    ("link", "Read-me.txt", "What you must know"),
    ("label", "\u00a9 2026 Zephran fans", ""),
    ("push button", "New game", "Launch a new game"),
    ("push button", "Load", "Load the game you've selected"),
    ("label", "Sub-titles", "Enable sub-titles"),
    ("label", "Cinemascope mode", "Enable cinemascope feature (looks like 16/9)"),
    ("label", "Windowed mode", "Enable windowed mode (a black edge appears around the screen)"),
    ("label", "Resolution", "Select the resolution of the game"),
])


def wait_for(what, check, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = check()
        if found:
            return found
        time.sleep(0.1)
    sys.exit(f"timed out waiting for {what}; so far: {faults}")


def expect(condition, message):
    if not condition:
        faults.append(message)


def enable_accessibility():
    # What a screen reader does when it starts: toolkits turn their bridges on.
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
                  GLib.Variant("(ssv)", ("org.a11y.Status", "IsEnabled", GLib.Variant("b", True))),
                  None, Gio.DBusCallFlags.NONE, 10000, None)


def children(node):
    return [c for c in (node.get_child_at_index(i) for i in range(node.get_child_count())) if c]


def launcher_frame():
    desktop = Atspi.get_desktop(0)
    for app in children(desktop):
        for frame in children(app):
            if frame.get_name() == "Zephran Loader+":
                return frame
    return None


def action_names(node):
    if "Action" not in node.get_interfaces():
        return []
    return [Atspi.Action.get_action_name(node, i) for i in range(Atspi.Action.get_n_actions(node))]


def press(node, name):
    names = action_names(node)
    expect(name in names, f"{node.get_name()}: no {name!r} action, only {names}")
    if name in names:
        Atspi.Action.do_action(node, names.index(name))


def lines(path):
    try:
        with open(path, encoding="utf-8") as file:
            return file.read().splitlines()
    except FileNotFoundError:
        return []


def main():
    enable_accessibility()
    Atspi.init()
    launcher = subprocess.Popen([os.path.join(game, "zephran-loader")], cwd=work,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    frame = wait_for("the launcher on the accessibility bus", launcher_frame)

    expect(frame.get_role_name() == "frame", f"the window is a {frame.get_role_name()!r}")
    controls = {(c.get_role_name(), c.get_name(), c.get_description()): c for c in children(frame)}
    if sorted(controls) != CONTROLS:
        sys.exit("controls differ:\n  got      %s\n  expected %s" % (sorted(controls), CONTROLS))

    # A list shows its chosen item as its text; screen readers that name a
    # list by its caption find it through the labelled-by relation too.
    resolution = controls[("combo box", "Resolution", "Select the resolution of the game")]
    shown = Atspi.Text.get_text(resolution, 0, -1) if "Text" in resolution.get_interfaces() else None
    expect(shown == "400x300", f"the resolution list shows {shown!r}")
    captions = [r.get_target(0).get_name() for r in resolution.get_relation_set()
                if r.get_relation_type() == Atspi.RelationType.LABELLED_BY]
    expect(captions == ["Resolution"], f"the resolution list is labelled by {captions}")
    expect("ShowMenu" in action_names(resolution), "the resolution list cannot be opened")

    # The read-me opens from the link's action and from the help key.
    opened = os.path.join(work, "opened")
    readme = os.path.join(game, "readme.txt")
    press(controls[("link", "Read-me.txt", "What you must know")], "Press")
    wait_for("the read-me from the link", lambda: lines(opened) == [readme])
    window = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", r"^Zephran Loader\+$"],
                            capture_output=True, text=True).stdout.split()[0]
    subprocess.run(["xdotool", "windowfocus", "--sync", window, "key", "F1"], check=True)
    wait_for("the read-me from F1", lambda: lines(opened) == [readme, readme])

    # The sample has subtitles on; toggled off through the check box's action.
    subtitles = controls[("check box", "Sub-titles", "Enable sub-titles")]
    expect(subtitles.get_state_set().contains(Atspi.StateType.CHECKED), "subtitles start off")
    press(subtitles, "Toggle")
    wait_for("subtitles off",
             lambda: not subtitles.get_state_set().contains(Atspi.StateType.CHECKED))

    # "New game" pressed by the tool launches as a click does and ends the launcher.
    press(controls[("push button", "New game", "Launch a new game")], "Press")
    report = os.path.join(game, "launch-report.txt")
    wait_for("the game", lambda: "Subtitles=0" in lines(report))
    expect(lines(report)[:2] == ["program: ZP2.EXE", "argument: game_nextframe"],
           f"the game was started as {lines(report)[:2]}")
    try:
        launcher.wait(timeout=20)
    except subprocess.TimeoutExpired:
        faults.append("the launcher is still open after the launch")
        launcher.kill()

    for fault in faults:
        print(fault, file=sys.stderr)
    print("accessibility: %s" % ("FAILED" if faults else "all checks passed"))
    return 1 if faults else 0


sys.exit(main())
