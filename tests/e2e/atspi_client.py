#!/usr/bin/python3
"""What a screen reader gets from the launcher on Linux, asked through AT-SPI:
runs the launcher of GAME_DIR on the session bus this runs on, walks its
accessible tree, then presses the link, a check box and "New game" as an
assistive tool does. usage: atspi_client.py GAME_DIR WORK_DIR"""
import os
import subprocess
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
gi.require_version("Gio", "2.0")
from gi.repository import Atspi, Gio, GLib  # noqa: E402

# get_action_name's newer name clashes with the accessible's own get_name.
warnings.filterwarnings("ignore", category=DeprecationWarning)

game, work = sys.argv[1], sys.argv[2]
faults = []
# role, name, description of every control, as the player should hear them;
# each captioned control's caption is a label that goes by the same words.
CAPTIONED = [
    ("combo box", "Resolution", "Select the resolution of the game"),
    ("combo box", "Colors", "Select color depth"),
    ("check box", "Windowed mode", "Enable windowed mode (a black edge appears around the screen)"),
    ("check box", "Cinemascope mode", "Enable cinemascope feature (looks like 16/9)"),
    ("check box", "Sub-titles", "Enable sub-titles"),
]
CONTROLS = sorted(CAPTIONED + [("label", name, words) for _, name, words in CAPTIONED] + [
    ("combo box", "Saved game", "Select a saved game"),
    ("push button", "New game", "Launch a new game"),
    ("push button", "Load", "Load the game you've selected"),
    ("link", "Read-me.txt", "What you must know"),
    ("label", "\u00a9 2026 Zephran fans", ""),
])


def wait_for(what, check):
    for _ in range(200):
        if found := check():
            return found
        time.sleep(0.1)
    sys.exit(f"timed out waiting for {what}; faults so far: {faults}")


def expect(condition, message):
    if not condition:
        faults.append(message)


def children(node):
    return [c for c in (node.get_child_at_index(i) for i in range(node.get_child_count())) if c]


def launcher_frame():
    frames = [f for app in children(Atspi.get_desktop(0)) for f in children(app)]
    return next((f for f in frames if f.get_name() == "Zephran Loader+"), None)


def action_names(node):
    if "Action" not in node.get_interfaces():
        return []
    return [Atspi.Action.get_action_name(node, i) for i in range(Atspi.Action.get_n_actions(node))]


def press(node, action):
    names = action_names(node)
    expect(action in names, f"{node.get_name()}: no {action!r} action, only {names}")
    if action in names:
        Atspi.Action.do_action(node, names.index(action))


def lines(path):
    return open(path, encoding="utf-8").read().splitlines() if os.path.exists(path) else []


def check(launcher):
    frame = wait_for("the launcher on the accessibility bus", launcher_frame)
    expect(frame.get_role_name() == "frame", f"the window is a {frame.get_role_name()!r}")
    controls = {(c.get_role_name(), c.get_name(), c.get_description()): c for c in children(frame)}
    if sorted(controls) != CONTROLS:
        sys.exit(f"controls differ:\n  got      {sorted(controls)}\n  expected {CONTROLS}")

    # A list shows its chosen item as text, and its caption is its label.
    resolution = controls[("combo box", "Resolution", "Select the resolution of the game")]
    shown = Atspi.Text.get_text(resolution, 0, -1) if "Text" in resolution.get_interfaces() else None
    expect(shown == "400x300", f"the resolution list shows {shown!r}")
    captions = [r.get_target(0).get_name() for r in resolution.get_relation_set()
                if r.get_relation_type() == Atspi.RelationType.LABELLED_BY]
    expect(captions == ["Resolution"], f"the resolution list is labelled by {captions}")
    expect("ShowMenu" in action_names(resolution), "the resolution list cannot be opened")

    # The read-me opens from the link's action (F1 is the window's own test's).
    opened, readme = os.path.join(work, "opened"), os.path.join(game, "readme.txt")
    press(controls[("link", "Read-me.txt", "What you must know")], "Press")
    wait_for("the read-me from the link", lambda: lines(opened) == [readme])

    # The sample has subtitles on: the check box's action turns them off.
    subtitles = controls[("check box", "Sub-titles", "Enable sub-titles")]
    checked = lambda: subtitles.get_state_set().contains(Atspi.StateType.CHECKED)  # noqa: E731
    expect(checked(), "subtitles start off")
    press(subtitles, "Toggle")
    wait_for("subtitles off", lambda: not checked())

    # "New game" pressed by the tool launches as a click does: the game
    # starts with the settings written and the launcher ends.
    press(controls[("push button", "New game", "Launch a new game")], "Press")
    report = os.path.join(game, "launch-report.txt")
    wait_for("the game", lambda: "Subtitles=0" in lines(report))
    expect(lines(report)[:2] == ["program: ZP2.EXE", "argument: game_nextframe"],
           f"the game was started as {lines(report)[:2]}")
    wait_for("the launcher to end", lambda: launcher.poll() is not None)


def main():
    # What a screen reader does when it starts: toolkits turn their bridges on.
    Gio.bus_get_sync(Gio.BusType.SESSION, None).call_sync(
        "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
        GLib.Variant("(ssv)", ("org.a11y.Status", "IsEnabled", GLib.Variant("b", True))),
        None, Gio.DBusCallFlags.NONE, 10000, None)
    Atspi.init()
    launcher = subprocess.Popen([os.path.join(game, "zephran-loader")], cwd=work,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        check(launcher)
    finally:
        launcher.kill()
    for fault in faults:
        print(fault, file=sys.stderr)
    print("accessibility:", "FAILED" if faults else "all checks passed")
    return 1 if faults else 0


sys.exit(main())
