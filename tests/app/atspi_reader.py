#!/usr/bin/python3
"""Reads the running voxreel window through the accessibility bus, as a
screen reader does."""
import re
import sys
import time

import pyatspi
from gi.repository import GLib

TIMEOUT_S = 30


def wait_for(condition, what=None):
    """Polls the condition until it holds, and returns its value; at the
    timeout exits naming what did not appear, or returns False if unnamed."""
    deadline = time.monotonic() + TIMEOUT_S
    while time.monotonic() < deadline:
        found = condition()
        if found:
            return found
        time.sleep(0.1)
    if what:
        sys.exit(f"atspi: {what} did not appear on the accessibility bus")
    return False


def window():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name.lower() == "voxreel":
            for child in app:
                if child is not None and child.name == "Voxreel":
                    return child
    return None


def walk(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from walk(child)


CONTROL_ROLES = {"push button", "combo box", "slider", "text", "tree table", "table", "tree",
                 "icon", "image", "check box", "label", "tool bar", "status bar"}


def controls(win):
    """The showing controls in the tree's order, labels that merely name
    another control left out."""
    out = []
    for node in walk(win):
        role = node.getRoleName()
        if role not in CONTROL_ROLES or not node.getState().contains(pyatspi.STATE_SHOWING):
            continue
        if role == "label" and any(r.getRelationType() == pyatspi.RELATION_LABEL_FOR
                                   for r in node.getRelationSet()):
            continue
        out.append(node)
    return out


def find(nodes, role, name):
    for node in nodes:
        if node.getRoleName() == role and node.name == name:
            return node
    sys.exit(f"atspi: no {role} named {name!r}; found: " +
             "; ".join(f"{n.getRoleName()} {n.name!r}" for n in nodes))


def main():
    win = wait_for(window, "the Voxreel window")
    nodes = wait_for(lambda: [n for n in controls(win) if n.getRoleName() == "push button"]
                     and controls(win), "the window's controls")
    failures = []
    # (role, name, the description as a pattern)
    expect = [("push button", "Previous file", re.escape("Go to the previous file (Z)")),
              ("push button", "Play", re.escape("Play it now! (X)")),
              ("push button", "Pause or resume", re.escape("Pause it for a while (C)")),
              ("push button", "Stop", re.escape("Stop it now! (V)")),
              ("push button", "Next file", re.escape("Go to the next file (B)")),
              ("push button", "Add files", None),
              ("push button", "Menu", None),
              ("combo box", "Active calls", "Active call"),
              ("slider", "Current position", r"\d\d:\d\d of \d\d:\d\d"),
              ("slider", "Balance", "Voice and playback even"),
              ("slider", "Local volume", r"\d+ %, -?\d+\.\d dB"),
              ("slider", "Remote volume", r"\d+ %"),
              ("text", "Now playing", None),
              ("text", "Status", None)]
    for role, name, description in expect:
        node = find(nodes, role, name)
        if description and not re.fullmatch(description, node.description):
            failures.append(f"{role} {name!r}: description {node.description!r}")
    icons = [n for n in nodes if n.name.startswith("Call client")]
    if not icons or "Skype is not connected" not in icons[0].description:
        failures.append("the status icon is not named and described")
    playlist = next((n for n in nodes if n.name == "Playlist"), None)
    if playlist is None:
        failures.append("no playlist")
    else:
        table = playlist.queryTable()
        headers = [table.getColumnHeader(c).name for c in range(table.nColumns)]
        if headers != ["Title", "Duration"]:
            failures.append(f"playlist columns {headers}")
        if table.nRows != 1:
            failures.append(f"playlist rows {table.nRows}")

    # The words follow the value a screen reader user sets.
    volume = find(nodes, "slider", "Local volume")
    volume.queryValue().currentValue = 0
    if not wait_for(lambda: volume.description == "100 %, 0.0 dB"):
        failures.append(f"local volume at 0 reads {volume.description!r}")

    # Play, as a screen reader user does with the button's action; the file
    # ends a second later and the status line says so.
    inserted = []

    def on_insert(event):
        if event.source.name == "Status":
            inserted.append(event.any_data)
            if "Playback completed." in inserted:
                pyatspi.Registry.stop()

    pyatspi.Registry.registerEventListener(on_insert, "object:text-changed:insert")
    play = find(nodes, "push button", "Play")
    play.queryAction().doAction(0)
    GLib.timeout_add_seconds(TIMEOUT_S, lambda: pyatspi.Registry.stop() or False)
    pyatspi.Registry.start()
    print("Announced from the status line:", inserted)
    if "Playback completed." not in inserted:
        failures.append(f"'Playback completed.' was not announced: {inserted}")

    for failure in failures:
        print("atspi:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
