#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads the window as a screen reader does.

Starts the program with Qt's AT-SPI bridge on a private D-Bus session and a
virtual X display, walks every focusable control of the window, of its
Load Text and Load Picture dialogs (and the file dialog and message box on
the way) and of the screen editor, and fails on a control without a name, or with the name of another
control beside it (under the same parent), listing them all.

    screenreader_walk.py PROGRAM PICTURE

Exits 77, which CTest takes as skipped, with a line saying why, where the
session bus, the accessibility bus or the display cannot start.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
INSIDE = "VARNIX_WALK_INSIDE"
STARTED = "walk: started"


def skip(why):
    print(f"SKIP: {why}", flush=True)
    sys.exit(SKIPPED)


def outside(arguments):
    """Checks the tools, then runs the walk on its own bus and display."""
    for tool in ("dbus-run-session", "xvfb-run"):
        if not shutil.which(tool):
            skip(f"{tool} is not installed (packages dbus and xvfb)")
    if not os.path.exists("/usr/libexec/at-spi-bus-launcher"):
        skip("at-spi-bus-launcher is not installed (package at-spi2-core)")
    try:
        import pyatspi  # noqa: F401
    except ImportError:
        skip(f"{sys.executable} has no pyatspi (package python3-pyatspi)")
    env = dict(os.environ)
    env[INSIDE] = "1"
    for name in ("QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS"):
        env.pop(name, None)
    command = ["dbus-run-session", "--", "xvfb-run", "-a", "-s", "-screen 0 1600x1200x24",
               sys.executable, os.path.abspath(__file__), *arguments]
    try:
        run = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                             timeout=150)
    except subprocess.TimeoutExpired:
        print("FAIL: the walk took more than 150 s")
        return 1
    print(run.stdout, end="")
    if run.returncode != 0 and STARTED not in run.stdout:
        skip("the private D-Bus session or the virtual display did not start")
    return run.returncode


def inside(program, picture):
    import pyatspi
    from gi.repository import GLib

    print(STARTED, flush=True)
    try:
        # Starts the accessibility bus; a screen reader would have.
        pyatspi.Registry.getDesktop(0).childCount
    except GLib.Error as error:
        skip(f"the accessibility bus did not start: {error.message}")

    # The bridge on, as a screen reader turns it on; its complaints about
    # entries of a file list that come and go left out; settings of its own.
    with tempfile.TemporaryDirectory(prefix="varnix-walk-") as settings:
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
                   QT_LOGGING_RULES="qt.accessibility.atspi.warning=false", XDG_CONFIG_HOME=settings,
                   XDG_DATA_HOME=settings)
        window = subprocess.Popen([program], env=env)
        try:
            return Walk(pyatspi, window).run(picture)
        finally:
            window.terminate()
            try:
                window.wait(10)
            except subprocess.TimeoutExpired:
                window.kill()
                window.wait()


class Walk:
    def __init__(self, pyatspi, window):
        self.at = pyatspi
        self.window = window
        self.problems = []
        self.controls = 0
        at = pyatspi
        self.control_roles = {
            at.ROLE_PUSH_BUTTON, at.ROLE_TOGGLE_BUTTON, at.ROLE_CHECK_BOX, at.ROLE_RADIO_BUTTON, at.ROLE_TEXT,
            at.ROLE_ENTRY, at.ROLE_PASSWORD_TEXT, at.ROLE_SPIN_BUTTON, at.ROLE_COMBO_BOX, at.ROLE_LIST,
            at.ROLE_LIST_BOX, at.ROLE_TABLE, at.ROLE_TREE, at.ROLE_TREE_TABLE, at.ROLE_SLIDER, at.ROLE_PAGE_TAB,
            at.ROLE_PAGE_TAB_LIST, at.ROLE_DIAL, at.ROLE_MENU_ITEM,
        }
        # Their entries are read as the values they show, not as controls.
        self.item_holders = {at.ROLE_LIST, at.ROLE_LIST_BOX, at.ROLE_TABLE, at.ROLE_TREE, at.ROLE_TREE_TABLE}

    # The tree

    @staticmethod
    def children(node):
        found = []
        for i in range(node.childCount):
            try:
                child = node.getChildAtIndex(i)
            except Exception:
                child = None
            if child is not None:
                found.append(child)
        return found

    def find(self, root, test):
        stack = [root]
        while stack:
            node = stack.pop()
            if test(node):
                return node
            stack.extend(reversed(self.children(node)))
        return None

    def application(self, timeout):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if self.window.poll() is not None:
                raise SystemExit(f"FAIL: the program ended with {self.window.returncode} before it was read")
            for app in self.children(self.at.Registry.getDesktop(0)):
                if app.name == "Varnix" and app.childCount:
                    return app
            time.sleep(0.1)
        return None

    def top_window(self, app, title, holding=None, timeout=15):
        """A window of the title (and holding a control of that name)."""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            for top in self.children(app):
                if top.name == title and self.showing(top) and (
                        holding is None or self.find(top, lambda n: n.name == holding)):
                    return top
            time.sleep(0.1)
        return None

    def showing(self, node):
        return node.getState().contains(self.at.STATE_SHOWING)

    def press(self, root, role, name):
        button = self.find(root, lambda n: n.getRole() == role and n.name == name)
        if button is None:
            raise SystemExit(f"FAIL: no {name!r} to press")
        button.queryAction().doAction(0)  # Qt's "Press"

    # Names as a screen reader takes them

    def labels(self, node):
        found = []
        for relation in node.getRelationSet():
            if relation.getRelationType() != self.at.RELATION_LABELLED_BY:
                continue
            for i in range(relation.getNTargets()):
                target = relation.getTarget(i)
                # A group box stands as the label of all it holds; it names
                # the group, not the control.
                if target.getRole() == self.at.ROLE_LABEL and target.name.strip():
                    found.append(target.name.strip())
        return found

    def shown_values(self, combo):
        values = set()
        for child in self.children(combo):
            if child.getRole() == self.at.ROLE_TEXT:
                text = child.queryText()
                values.add(text.getText(0, text.characterCount))
            else:
                values.update(item.name for item in self.children(child))
        return values

    def spoken_name(self, node):
        labels = self.labels(node)
        if node.getRole() == self.at.ROLE_COMBO_BOX:
            # Qt gives a list box its current entry as its name.
            if labels:
                return labels[0]
            return node.name.strip() if node.name not in self.shown_values(node) else ""
        return node.name.strip() or (labels[0] if labels else "")

    def check(self, top, where):
        """Every focusable control under the window: named, and not as
        another one beside it."""
        stack = [(top, where)]
        while stack:
            node, path = stack.pop()
            named = {}
            for child in self.children(node):
                role = child.getRole()
                here = f"{path} > {child.getRoleName()}"
                if role in self.control_roles and child.getState().contains(self.at.STATE_FOCUSABLE):
                    self.controls += 1
                    name = self.spoken_name(child)
                    if not name:
                        self.problems.append(f"no name: {here} (in {node.name or node.getRoleName()!r})")
                    elif name in named:
                        self.problems.append(f"same name as a {named[name]} beside it: {here} {name!r}")
                    else:
                        named[name] = child.getRoleName()
                    here = f"{here} {name!r}"
                elif child.name:
                    here = f"{here} {child.name!r}"
                if role not in self.item_holders:
                    stack.append((child, here))

    # The walk

    def read_window(self, app, title, holding, where):
        top = self.top_window(app, title, holding)
        if top is None:
            raise SystemExit(f"FAIL: the {where} window did not come")
        self.check(top, where)
        return top

    def run(self, picture):
        at = self.at
        app = self.application(60)
        if app is None:
            skip("the program did not appear on the accessibility bus within 60 s")
        main = self.top_window(app, next(t.name for t in self.children(app) if t.name.startswith("Varnix Ver")))
        self.check(main, main.name)

        button = at.ROLE_PUSH_BUTTON
        self.press(main, button, "Load Text…")
        self.press(self.read_window(app, "Load Text", "Whole display", "Load Text"), button, "Cancel")

        self.press(main, button, "Load Picture…")
        files = self.read_window(app, "Load Picture", "File name:", "Load Picture (file)")
        field = self.find(files, lambda n: n.getRole() == at.ROLE_TEXT and n.name == "File name:")
        field.queryEditableText().setTextContents(picture)
        self.press(files, button, "Open")
        self.press(self.read_window(app, "Load Picture", "Whole display", "Load Picture"), button, "Cancel")

        # With no port open, Run Script… says so in a message box.
        self.press(main, button, "Run Script…")
        self.press(self.read_window(app, "Varnix", "OK", "Run Script message"), button, "OK")

        # The screen editor, from its button, and again with a circle added:
        # its numbers in the property panel.
        self.press(main, button, "Screen…")
        editor = self.read_window(app, "Untitled - Varnix Screen", "Screen canvas", "Screen editor")
        self.press(editor, button, "Circle")
        self.read_window(app, "Untitled* - Varnix Screen", "Radius", "Screen editor with a circle")

        print(f"walk: {self.controls} focusable controls read")
        if self.controls == 0:
            self.problems.append("no focusable control was read at all")
        for problem in self.problems:
            print(f"FAIL: {problem}")
        return 1 if self.problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    if os.environ.get(INSIDE) == "1":
        sys.exit(inside(*sys.argv[1:]))
    sys.exit(outside(sys.argv[1:]))
