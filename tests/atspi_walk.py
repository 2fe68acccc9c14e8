#!/usr/bin/python3
"""Reads a window of the tool through AT-SPI, as a screen reader does.

  atspi_walk.py check TITLE   every control of the window has a role and a name (its own
                              text, or its label's), and a drop-down a label related to it;
                              prints one line per control, exits 1 naming what lacks one
  atspi_walk.py labels TITLE  the names of the window's labels, one a line
"""
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

# The controls a user works with, by role (the roles' names differ between releases of
# AT-SPI). A drop-down's own name is its current value: a reader names it by the label
# related to it. Every other control needs a name, its own text or its label's.
Role = Atspi.Role
CONTROLS = {Role.PUSH_BUTTON, Role.CHECK_BOX, Role.RADIO_BUTTON, Role.TEXT, Role.ENTRY,
            Role.COMBO_BOX, Role.TREE, Role.LIST, Role.TABLE, Role.TREE_TABLE}
LABELLED = {Role.COMBO_BOX}


def window(title, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is None or app.get_name() != "tavrenode-config":
                continue
            for j in range(app.get_child_count()):
                child = app.get_child_at_index(j)
                if child is not None and child.get_name() == title:
                    return child
        time.sleep(0.2)
    sys.exit(f"no window {title!r} of tavrenode-config on the accessibility bus")


def descendants(node):
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is None:
            continue
        states = child.get_state_set()
        if not states.contains(Atspi.StateType.SHOWING):
            continue  # a closed drop-down's list
        yield child
        yield from descendants(child)


def labels_of(node):
    names = []
    for relation in node.get_relation_set() or []:
        if relation.get_relation_type() == Atspi.RelationType.LABELLED_BY:
            for i in range(relation.get_n_targets()):
                names.append(relation.get_target(i).get_name())
    return names


def check(title):
    missing = []
    count = 0
    for node in descendants(window(title)):
        role = node.get_role()
        if role not in CONTROLS:
            continue
        count += 1
        name = node.get_name()
        labels = [label for label in labels_of(node) if label]
        print(f"{node.get_role_name()}\t{name}\t{' / '.join(labels)}")
        if not (labels if role in LABELLED else name):
            missing.append(f"a {node.get_role_name()} named {name!r} with labels {labels}")
    print(f"{count} controls")
    if missing:
        sys.exit("without a name a reader can say: " + "; ".join(missing))


def labels(title):
    names = [node.get_name() for node in descendants(window(title))
             if node.get_role() == Role.LABEL]
    print("\n".join(names))


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("check", "labels"):
        sys.exit(__doc__)
    {"check": check, "labels": labels}[sys.argv[1]](sys.argv[2])
