"""Reading the program's windows back: the accessibility tree for widgets,
texts and states, the X server for frames, owners and placement; XTest
for the user's clicks and keys."""

import re

import pyatspi

from session import TestFailure, run, wait_for
from xtest import XTest


class Desktop:
    def __init__(self, session):
        self.session = session
        self.env = session.env
        self.xtest = XTest(session.env["DISPLAY"])

    # ---- accessibility tree -------------------------------------------------
    def app(self, pid, timeout=20):
        def probe():
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                child = desktop.getChildAtIndex(i)
                try:
                    if child is not None and child.get_process_id() == pid:
                        return child
                except Exception:
                    continue
            return None
        return wait_for(f"the program (pid {pid}) on the accessibility bus", probe, timeout=timeout)

    @staticmethod
    def walk(node, depth=0, limit=40):
        if node is None or depth > limit:
            return
        yield node
        try:
            count = node.childCount
        except Exception:
            return
        # Large lists are read through their rows by the callers; the walk
        # stops at cells of tables to stay quick.
        for i in range(min(count, 500)):
            try:
                child = node.getChildAtIndex(i)
            except Exception:
                continue
            yield from Desktop.walk(child, depth + 1, limit)

    def find(self, root, role=None, name=None, showing=None, pred=None):
        for node in self.walk(root):
            try:
                if role is not None and node.getRole() != role:
                    continue
                if name is not None and (node.name if not callable(name) else None) != name and not (
                        callable(name) and name(node.name)):
                    continue
                if showing is not None and node.getState().contains(pyatspi.STATE_SHOWING) != showing:
                    continue
                if pred is not None and not pred(node):
                    continue
                return node
            except Exception:
                continue
        return None

    def window(self, app, name, timeout=15):
        """A top-level window (frame or dialog) of the program, by its caption, once shown."""
        def probe():
            for i in range(app.childCount):
                win = app.getChildAtIndex(i)
                if win is not None and win.name == name and win.getState().contains(pyatspi.STATE_SHOWING):
                    return win
            return None
        return wait_for(f"the window {name!r}", probe, timeout=timeout)

    def window_gone(self, app, name, timeout=15):
        def probe():
            for i in range(app.childCount):
                win = app.getChildAtIndex(i)
                if win is not None and win.name == name and win.getState().contains(pyatspi.STATE_SHOWING):
                    return False
            return True
        wait_for(f"the window {name!r} to close", probe, timeout=timeout)

    def window_names(self, app):
        names = []
        for i in range(app.childCount):
            win = app.getChildAtIndex(i)
            if win is not None and win.getState().contains(pyatspi.STATE_SHOWING):
                names.append(win.name)
        return names

    def status_text(self, win):
        bar = self.find(win, role=pyatspi.ROLE_STATUS_BAR)
        if bar is None:
            raise TestFailure("no status bar")
        return bar.name

    def status_bar_showing(self, win):
        bar = self.find(win, role=pyatspi.ROLE_STATUS_BAR)
        return bar is not None and bar.getState().contains(pyatspi.STATE_SHOWING)

    def tool_bar_showing(self, win):
        bar = self.find(win, role=pyatspi.ROLE_TOOL_BAR)
        return bar is not None and bar.getState().contains(pyatspi.STATE_SHOWING)

    def menu_item(self, win, menu_name, item_name):
        bar = self.find(win, role=pyatspi.ROLE_MENU_BAR)
        menu = self.find(bar, name=menu_name) if bar is not None else None
        if menu is None:
            raise TestFailure(f"no menu {menu_name!r}")
        item = self.find(menu, name=item_name, pred=lambda n: n is not menu)
        if item is None:
            raise TestFailure(f"no menu item {item_name!r} in {menu_name!r}")
        return item

    @staticmethod
    def checked(node):
        return node.getState().contains(pyatspi.STATE_CHECKED)

    @staticmethod
    def pressed(node):
        state = node.getState()
        return state.contains(pyatspi.STATE_CHECKED) or state.contains(pyatspi.STATE_PRESSED)

    @staticmethod
    def extents(node):
        """Screen rectangle of a widget: x, y, width, height."""
        e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return e.x, e.y, e.width, e.height

    def centre_of(self, node):
        x, y, w, h = self.extents(node)
        return x + w // 2, y + h // 2

    # ---- input through XTest --------------------------------------------------
    def move(self, x, y):
        self.xtest.move(x, y)

    def click(self, x, y, button=1, repeat=1):
        """Clicks at a point; gives the time the (last) click reached the X server."""
        self.xtest.move(x, y)
        return self.xtest.click(button, repeat)

    def click_node(self, node, button=1, repeat=1, dx=None):
        x, y, w, h = self.extents(node)
        px = x + (dx if dx is not None else min(w // 2, 30))
        return self.click(px, y + h // 2, button=button, repeat=repeat)

    def key(self, *keys):
        sent = None
        for combo in keys:
            sent = self.xtest.key(combo)
        return sent

    def focus_window(self, win):
        """twm gives the keyboard to the window under the pointer; shortcuts act
        once the window knows it is active."""
        x, y, w, h = self.extents(win)
        moves = iter(range(10 ** 6))

        def probe():
            self.move(x + w // 2 + next(moves) % 3 - 1, y + h // 2)
            return win.getState().contains(pyatspi.STATE_ACTIVE)
        wait_for("the window to become active", probe, timeout=10, interval=0.1)

    # ---- the X server: frames and owners ------------------------------------
    def x_windows_of(self, name):
        out = run(["xdotool", "search", "--onlyvisible", "--name", "^" + re.escape(name) + "$"], self.env,
                  check=False)
        return [int(w) for w in out.split()]

    def x_window(self, name, timeout=10):
        return wait_for(f"the X window {name!r}", lambda: (self.x_windows_of(name) or [None])[0], timeout=timeout)

    def parent(self, wid):
        out = run(["xwininfo", "-children", "-id", str(wid)], self.env)
        root = int(re.search(r"Root window id: (0x[0-9a-f]+)", out).group(1), 16)
        parent = int(re.search(r"Parent window id: (0x[0-9a-f]+)", out).group(1), 16)
        return parent, root

    def frame(self, wid):
        """The window manager's frame around a client window: the top-level child of the root."""
        current = wid
        while True:
            parent, root = self.parent(current)
            if parent == root:
                return current
            current = parent

    def geometry(self, wid):
        out = run(["xwininfo", "-id", str(wid)], self.env)
        get = lambda label: int(re.search(label + r":\s+(-?\d+)", out).group(1))
        return get("Absolute upper-left X"), get("Absolute upper-left Y"), get("Width"), get("Height"), \
            get("Border width")

    def outer(self, wid):
        """Outer frame rectangle, border included, as the user sees the window."""
        x, y, w, h, border = self.geometry(self.frame(wid))
        return x - border, y - border, w + 2 * border, h + 2 * border

    def framed(self, wid):
        return self.frame(wid) != wid

    def transient_for(self, wid):
        out = run(["xprop", "-id", str(wid), "WM_TRANSIENT_FOR"], self.env, check=False)
        match = re.search(r"window id # (0x[0-9a-f]+)", out)
        return int(match.group(1), 16) if match else None
