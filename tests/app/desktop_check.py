#!/usr/bin/python3
"""The program as a desktop user meets it, run by x-session.sh (an X server, a window manager, a
session bus and the accessibility bus): keys typed through the X server by xdotool, the windows
read as a screen reader reads them, through AT-SPI.

usage: desktop_check.py accessibility|close-once TIDEMARK GUIDE_DIR

accessibility: the compose window, the address book with its add dialog, and the phrase list
each give every focusable control a name (without blanks around it), and the fields the names
宛先, ＣＣ, ＢＣＣ, 件名 and 本文; the help window shows the Japanese guide's first heading.
close-once: ten times in a row, Alt+F4 on a window with text brings one question, and after
破棄して終了 the program has ended without a second one.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi

FIELDS = ["宛先", "ＣＣ", "ＢＣＣ", "件名", "本文"]
# Rows of a list hold the user's data, which may be empty; they are not controls.
ITEM_ROLES = {"list item", "table cell", "tree item", "table row"}


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def wait_for(condition, seconds=20.0, what="a condition"):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    fail("gave up waiting for " + what)


def xdotool(*arguments):
    subprocess.run(["xdotool", *arguments], check=True, timeout=20)


class Program:
    """The program copied into a prefix of its own, as an install lays it out, so that its data
    files and settings live in a temporary home."""

    def __init__(self, binary, guide_dir):
        self.work = tempfile.mkdtemp(prefix="tidemark-desktop-")
        os.makedirs(os.path.join(self.work, "bin"))
        self.binary = os.path.join(self.work, "bin", "tidemark")
        shutil.copy(binary, self.binary)
        shutil.copytree(guide_dir, os.path.join(self.work, "share", "tidemark"))
        data = os.path.join(self.work, "data", "Orvane", "Tidemark")
        os.makedirs(data)
        with open(os.path.join(data, "Address.dat"), "wb") as f:
            f.write("山田 花子\r\nhanako@example.jp\r\n名前だけ\r\n\r\n".encode("cp932"))
        with open(os.path.join(data, "tanbun.dat"), "wb") as f:
            f.write("お世話になっております。\r\n".encode("cp932"))
        self.env = dict(os.environ, HOME=os.path.join(self.work, "home"),
                        XDG_CONFIG_HOME=os.path.join(self.work, "config"),
                        XDG_DATA_HOME=os.path.join(self.work, "data"),
                        QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.process = None

    def start(self, *arguments):
        self.process = subprocess.Popen([self.binary, *arguments], env=self.env)
        self.app = wait_for(self._application, 60, "the program on the accessibility bus")
        self.main = wait_for(lambda: self.window("ぴこぴこ便", "frame"), 30, "the compose window")
        window = wait_for(self._x_window, 30, "the compose window on the X server")
        xdotool("windowactivate", "--sync", window)
        wait_for(lambda: self.main.getState().contains(pyatspi.STATE_ACTIVE), 10,
                 "the compose window to be active")

    def _application(self):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == self.process.pid:
                return app
        return None

    def x_windows(self):
        """The program's windows the X server shows."""
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid",
                                str(self.process.pid)], capture_output=True, text=True)
        return found.stdout.split()

    def _x_window(self):
        return next(iter(self.x_windows()), None)

    def windows(self, role=None):
        self.app.clearCache()
        return [w for w in self.app if w is not None and (role is None or w.getRoleName() == role)
                and w.getState().contains(pyatspi.STATE_SHOWING)]

    def window(self, name, role=None):
        for w in self.windows(role):
            if w.name == name:
                return w
        return None

    def ended(self, seconds):
        try:
            self.process.wait(timeout=seconds)
            return True
        except subprocess.TimeoutExpired:
            return False

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()

    def remove(self):
        shutil.rmtree(self.work, ignore_errors=True)


def descendants(node):
    for child in node:
        if child is not None:
            yield child
            yield from descendants(child)


def unnamed_controls(window):
    """Focusable controls on screen without a usable name, as 'role "name"'."""
    found = []
    for node in descendants(window):
        states = node.getState()
        if not states.contains(pyatspi.STATE_FOCUSABLE) or not states.contains(pyatspi.STATE_SHOWING):
            continue
        if node.getRoleName() in ITEM_ROLES:
            continue
        name = node.name or ""
        if not name.strip() or name != name.strip():
            found.append('%s "%s"' % (node.getRoleName(), name))
    return found


def names(window, focusable):
    return {node.name for node in descendants(window)
            if not focusable or node.getState().contains(pyatspi.STATE_FOCUSABLE)}


def active_window(program, title):
    """The window once it is on screen and has the keyboard: keys typed then reach it."""
    return wait_for(lambda: next((w for w in [program.window(title)] if w is not None and
                                  w.getState().contains(pyatspi.STATE_ACTIVE)), None),
                    30, "the window %s to be active" % title)


def keys(program, title, *names, focused=None):
    """Types into the window once it is active and, when given, the control named focused has
    the focus (a list reports it on its current row)."""
    window = active_window(program, title)

    def has_focus():
        control = next((n for n in descendants(window) if n.name == focused), None)
        return control is not None and any(n.getState().contains(pyatspi.STATE_FOCUSED)
                                           for n in [control, *descendants(control)])
    if focused:
        wait_for(has_focus, 20, focused + " to have the focus")
    xdotool("key", *names)


def check_window(program, title, focusable, named=()):
    """Every focusable control of the window named; the names given present, those of
    focusable ones on focusable controls."""
    window = active_window(program, title)
    unnamed = unnamed_controls(window)
    if unnamed:
        fail("%s: focusable controls without a name: %s" % (title, ", ".join(unnamed)))
    missing = [name for name in focusable if name not in names(window, True)]
    missing += [name for name in named if name not in names(window, False)]
    if missing:
        fail("%s: no control named %s" % (title, ", ".join(missing)))
    controls = {node.name for node in descendants(window)
                if node.getState().contains(pyatspi.STATE_FOCUSABLE)
                and node.getRoleName() not in ITEM_ROLES}
    print("%s: every focusable control is named: %s" % (title, ", ".join(sorted(controls))))
    return window


def close_window(program, title):
    keys(program, title, "Escape")
    wait_for(lambda: program.window(title) is None, 30, title + " to close")


def accessibility(program):
    program.start()
    check_window(program, "ぴこぴこ便", FIELDS + ["メール送信", "短文入力", "宛先のアドレス帳",
                                                  "ＣＣのアドレス帳", "ＢＣＣのアドレス帳"])

    keys(program, "ぴこぴこ便", "ctrl+1")
    check_window(program, "アドレス帳", ["アドレス帳の一覧", "アドレスの追加", "アドレスの編集",
                                         "アドレスの削除"])
    # From the list, Tab reaches アドレスの追加 (メールへ入力 waits for a choice): the space bar
    # presses it.
    keys(program, "アドレス帳", "Tab", "space", focused="アドレス帳の一覧")
    check_window(program, "アドレスの追加", ["名前", "アドレス", "OK(O)", "キャンセル"])
    close_window(program, "アドレスの追加")
    close_window(program, "アドレス帳")

    keys(program, "ぴこぴこ便", "ctrl+t")
    check_window(program, "短文入力", ["追加する短文", "短文の一覧"], ["追加", "削除"])
    close_window(program, "短文入力")

    keys(program, "ぴこぴこ便", "alt+h")
    time.sleep(0.3)  # the menu opens
    xdotool("key", "h")
    guide = active_window(program, "ぴこぴこ便 ヘルプ")
    # The guide's window is its text.
    text = next((n for n in [guide, *descendants(guide)] if "Text" in n.get_interfaces()), None)
    if text is None:
        fail("the help window offers no text")
    shown = text.queryText().getText(0, 40)
    if not shown.startswith("ぴこぴこ便 ユーザーガイド"):
        fail("the help window begins with %r" % shown)
    print("help window: %s" % shown.splitlines()[0])
    close_window(program, "ぴこぴこ便 ヘルプ")


def press(button):
    """A click of the mouse in the middle of the button, as a user would."""
    box = button.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    # Not --sync: that waits for a motion, and the pointer may be there from the last try.
    xdotool("mousemove", str(box.x + box.width // 2), str(box.y + box.height // 2), "click", "1")


def close_once(program, tries=10):
    for attempt in range(1, tries + 1):
        program.start("--to", "hanako@example.jp", "--subject", "会議")
        keys(program, "ぴこぴこ便", "alt+F4")
        question = wait_for(lambda: program.windows("alert"), 20, "the question")[0]
        discard = wait_for(lambda: next((n for n in descendants(question)
                                         if n.name == "破棄して終了"), None), 10, "破棄して終了")
        time.sleep(0.3)  # a second question for the same request would be up by now
        if len(program.windows("alert")) != 1:
            fail("try %d: %d questions after one Alt+F4" % (attempt, len(program.windows("alert"))))
        # The compose window and the question may stay on screen a moment while the program
        # ends (slowly, on a loaded machine): only a window that was not there is a second one.
        shown = set(program.x_windows())
        press(discard)
        # Asked through the X server: a program on its way out need not answer on the bus.
        deadline = time.monotonic() + 30
        while not program.ended(0.3):
            if time.monotonic() > deadline:
                fail("try %d: the program still runs after 破棄して終了" % attempt)
            if set(program.x_windows()) - shown:
                fail("try %d: a window (a second question) after 破棄して終了" % attempt)
        if program.process.returncode != 0:
            fail("try %d: the program ended with status %d" % (attempt, program.process.returncode))
        print("try %d: one question, ended after 破棄して終了" % attempt)


def main():
    mode, binary, guide_dir = sys.argv[1:4]
    program = Program(binary, guide_dir)
    try:
        if mode == "accessibility":
            accessibility(program)
        elif mode == "close-once":
            close_once(program)
        else:
            fail("unknown mode " + mode)
    finally:
        program.stop()
        program.remove()
    print("PASS")


if __name__ == "__main__":
    main()
