"""The cases, one scenario each. A case gets a started session and raises
on the first thing a user would find wrong."""

import os
import subprocess
import time

import pyatspi

import fixtures
from desktop import Desktop
from session import TestFailure, wait_for

TITLE = "ねいろん for Win32"
CASES = {}


def case(fn):
    CASES[fn.__name__] = fn
    return fn


def figure(text):
    print("FIGURE " + text, flush=True)


def plain(caption):
    """A caption as the accessibility tree names it: the accelerator's "&" left out."""
    return caption.replace("&", "")


def windows_path(posix_path):
    """A path as the program shows it, below a drive letter with backslashes."""
    return posix_path.replace("/", "\\")


def check(condition, message):
    if not condition:
        raise TestFailure(message)


# ---- the program as the cases see it -----------------------------------------

class Program:
    """One running program with its main window."""

    def __init__(self, session, *args, window=TITLE, app=None):
        self.session = session
        self.d = Desktop(session)
        if app is None:
            self.proc = session.launch(*args)
            app = self.d.app(self.proc.pid, timeout=30)
        self.app = app
        self.main = self.d.window(self.app, window, timeout=30) if window else None

    def window(self, name, timeout=15):
        return self.d.window(self.app, name, timeout=timeout)

    def press(self, win, combo):
        """A key as the user types it into a window; gives the time it was sent."""
        self.d.focus_window(win)
        return self.d.key(combo)

    def rows(self, win):
        """The rows a user sees in the window's showing list, as (name, node)."""
        out = []
        for node in self.d.walk(win):
            try:
                role = node.getRole()
                if role in (pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_TREE_ITEM) and \
                        node.getState().contains(pyatspi.STATE_SHOWING) and node.name:
                    out.append((node.name, node))
            except Exception:
                continue
        return out

    def file_list(self, win=None):
        """The showing file list of a window: its list view or its detail (report) view,
        the two pages of one stacked pane."""
        win = win or self.main
        pane = self.d.find(win, role=pyatspi.ROLE_LAYERED_PANE)
        if pane is None:
            raise TestFailure("the window has no file list")
        for i in range(pane.childCount):
            node = pane.getChildAtIndex(i)
            if node is not None and node.getState().contains(pyatspi.STATE_SHOWING):
                return node
        raise TestFailure("no file list is showing")

    def row(self, name, win=None, timeout=15):
        def probe():
            for row_name, node in self.rows(self.file_list(win)):
                if row_name == name:
                    return node
            return None
        return wait_for(f"the row {name!r}", probe, timeout=timeout)

    def row_names(self, win=None):
        return [name for name, _ in self.rows(self.file_list(win))]

    def selected(self, node):
        return node.getState().contains(pyatspi.STATE_SELECTED)

    def status(self, win=None):
        return self.d.status_text(win or self.main)

    def select(self, name, win=None):
        """Selects a row with a click, as the status bar shows. A click that
        reaches a window just given back by a closing one can be lost; the
        next comes after the double-click time, so it is never a double click."""
        for attempt in range(3):
            self.d.click_node(self.row(name, win))
            try:
                self.wait_status(name, win, timeout=3)
                return
            except TestFailure:
                if attempt == 2:
                    raise

    def wait_status(self, text, win=None, timeout=10):
        wait_for(f"the status bar to show {text!r}", lambda: self.status(win) == text, timeout=timeout)

    def menu(self, win, menu_name, item_name):
        """Opens a menu of the menu bar with a click and clicks one of its items."""
        menu_name, item_name = plain(menu_name), plain(item_name)
        top, item = self.open_menu(win, menu_name, item_name)
        self.d.click_node(item)
        wait_for(f"the menu {menu_name!r} to close", lambda: not self._showing_item(top, item_name))

    def open_menu(self, win, menu_name, item_name):
        """Clicks a menu's title until the item shows: a click that reaches a menu
        still closing from the last choice only closes it."""
        bar = self.d.find(win, role=pyatspi.ROLE_MENU_BAR)
        top = wait_for(f"the menu {menu_name!r}", lambda: self.d.find(bar, name=menu_name))
        for attempt in range(4):
            if not self._showing_item(top, item_name):
                self.d.click_node(top)
            try:
                return top, wait_for(f"the menu item {item_name!r}", lambda: self._showing_item(top, item_name),
                                     timeout=4)
            except TestFailure:
                if attempt == 3:
                    raise

    def _showing_item(self, top, item_name):
        for node in self.d.walk(top):
            if node is not top and node.name == item_name and node.getState().contains(pyatspi.STATE_SHOWING):
                return node
        return None

    def menu_checked(self, win, menu_name, item_name):
        menu_name, item_name = plain(menu_name), plain(item_name)
        return self.d.checked(self.d.menu_item(win, menu_name, item_name))

    def tool_button(self, win, index):
        """The index-th button of the tool bar (separators left out)."""
        bar = self.d.find(win, role=pyatspi.ROLE_TOOL_BAR)
        buttons = [n for n in self.d.walk(bar) if n.getRole() in (
            pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX)
            and n.getState().contains(pyatspi.STATE_SHOWING)]
        return buttons[index]

    def close(self, win=None):
        """Ends the program through its menu, so that it saves its settings."""
        self.menu(win or self.main, "ファイル(&F)", "終了(&X)")
        wait_for("the program to end", lambda: self.proc.poll() is not None, timeout=20)
        return self.proc.returncode

    def x_main(self):
        return self.d.x_window(TITLE)


def sound_folder(session, names=("a.wav", "b.wav", "c.wav")):
    fixtures.make_sources(session.work, list(names))


def play_and_hear(prog, what, action):
    """Runs an action and waits for its sound; gives the time from the action to the sound."""
    prog.session.monitor.reset()
    t0 = action()
    heard = prog.session.monitor.wait_sound(what)
    return heard - t0


def barrier(prog, win):
    """Waits until the program has handled every input sent so far: the window
    handles its input in order, so a menu it opens after them shows only then."""
    top, item = prog.open_menu(win, "ヘルプ(H)", "目次(C)")
    prog.d.key("Escape")
    wait_for("the help menu to close", lambda: not prog._showing_item(top, "目次(C)"))


# ---- the main window ------------------------------------------------------------

@case
def main_detail_view_plays(session):
    """Detail view: a click selects and names the file; the double click of a
    new process is heard (the first sound); Ctrl+P plays the selection."""
    sound_folder(session)
    bare = bare_client_first_sound(session, os.path.join(session.work, "c.wav"))
    prog = Program(session)
    session.monitor.reset()
    prog.select("a.wav")
    check(prog.selected(prog.row("a.wav")), "a click does not select the row")
    session.monitor.assert_silent("a single click with single-click mode off only selects")
    first = play_and_hear(prog, "double click, first sound of the process",
                          lambda: prog.d.click_node(prog.row("b.wav"), repeat=2))
    figure(f"first sound of a new process: {first * 1000:.0f} ms from the double click to the first "
           f"non-silent sample; a bare client (paplay started anew) {bare * 1000:.0f} ms from its start")
    prog.select("c.wav")
    play_and_hear(prog, "Ctrl+P", lambda: prog.press(prog.main, "ctrl+p"))


def bare_client_first_sound(session, path):
    session.monitor.reset()
    t0 = time.monotonic()
    proc = subprocess.Popen(["paplay", path], env=session.env)
    heard = session.monitor.wait_sound("a bare client")
    proc.wait(10)
    # Let its tail pass, so the program's sound is timed on its own.
    session.monitor.wait_silence()
    return heard - t0


@case
def main_list_view_plays(session):
    """The list view (its tool button): click selects, double click and Ctrl+P play."""
    sound_folder(session)
    prog = Program(session)
    prog.row("a.wav")
    prog.d.click_node(prog.tool_button(prog.main, 2))
    wait_for("the list view", lambda: prog.file_list().getRole() == pyatspi.ROLE_LIST)
    prog.select("a.wav")
    play_and_hear(prog, "double click in the list view", lambda: prog.d.click_node(prog.row("b.wav"), repeat=2))
    prog.select("c.wav")
    play_and_hear(prog, "Ctrl+P in the list view", lambda: prog.press(prog.main, "ctrl+p"))


@case
def main_single_click_plays(session):
    """Single-click mode: one click on a WAVE file plays it, in both views."""
    sound_folder(session)
    session.write_ini(SingleClick=1)
    prog = Program(session)
    play_and_hear(prog, "single click, detail view", lambda: prog.d.click_node(prog.row("a.wav")))
    session.monitor.wait_silence()
    prog.d.click_node(prog.tool_button(prog.main, 2))
    wait_for("the list view", lambda: prog.file_list().getRole() == pyatspi.ROLE_LIST)
    play_and_hear(prog, "single click, list view", lambda: prog.d.click_node(prog.row("b.wav")))


# ---- the archive viewer -----------------------------------------------------------

def archive_folder(session, kind):
    """A sound folder with an archive of two WAVE files named in Japanese."""
    src = os.path.join(session.root, "src")
    fixtures.make_sources(src, fixtures.JAPANESE_NAMES)
    name = "サウンド." + kind
    path = os.path.join(session.work, name)
    (fixtures.make_lzh if kind == "lzh" else fixtures.make_zip)(path, src, fixtures.JAPANESE_NAMES)
    return name


def viewer_caption(prog, name):
    """The viewer's caption is the archive's full path as the program names it."""
    def probe():
        for caption in prog.d.window_names(prog.app):
            if caption != TITLE and caption.endswith(name):
                return caption
        return None
    return wait_for(f"the archive viewer on {name}", probe, timeout=20)


def open_viewer(prog, archive):
    prog.d.click_node(prog.row(archive), repeat=2)
    caption = viewer_caption(prog, archive)
    return prog.window(caption), caption


def viewer_plays(session, kind):
    archive = archive_folder(session, kind)
    prog = Program(session)
    viewer, caption = open_viewer(prog, archive)
    check(caption.endswith(windows_path(os.path.join(session.work, archive))),
          f"the viewer's caption {caption!r} is not the archive's path")
    first, second = fixtures.JAPANESE_NAMES
    names = lambda: [n for n in prog.row_names(viewer) if n.lower().endswith(".wav")]
    try:
        wait_for("the entries", lambda: names() == [first, second])
    except TestFailure:
        raise TestFailure(f"the viewer lists {names()}, not {[first, second]}")
    prog.select(first, viewer)
    took = play_and_hear(prog, "double click on an entry not yet extracted",
                         lambda: prog.d.click_node(prog.row(second, viewer), repeat=2))
    figure(f"viewer double click ({kind.upper()}, entry not yet extracted): {took * 1000:.0f} ms from the "
           f"double click to the first non-silent sample")
    prog.select(first, viewer)
    play_and_hear(prog, "Ctrl+P in the viewer", lambda: prog.press(viewer, "ctrl+p"))
    prog.menu(viewer, "ファイル(&F)", "閉じる(&C)")
    prog.d.window_gone(prog.app, caption)
    return prog


@case
def viewer_lzh_shift_jis(session):
    """An LZH archive with Shift-JIS names opens in the viewer, names readable, entries play."""
    viewer_plays(session, "lzh")


@case
def viewer_zip_shift_jis(session):
    """A ZIP archive with Shift-JIS names opens in the viewer, names readable, entries play."""
    viewer_plays(session, "zip")


@case
def viewer_single_click(session):
    """Single-click mode in the viewer replays only entries extracted before."""
    archive = archive_folder(session, "zip")
    session.write_ini(SingleClick=1)
    prog = Program(session)
    viewer, caption = open_viewer(prog, archive)
    first, second = fixtures.JAPANESE_NAMES
    session.monitor.reset()
    prog.select(first, viewer)
    session.monitor.assert_silent("a single click on an entry not yet extracted never extracts")
    play_and_hear(prog, "double click extracts and plays", lambda: prog.d.click_node(prog.row(first, viewer), repeat=2))
    prog.select(second, viewer)
    session.monitor.wait_silence()
    play_and_hear(prog, "single click on an extracted entry", lambda: prog.d.click_node(prog.row(first, viewer)))


@case
def viewer_list_view_plays(session):
    """表示 → 一覧 in the viewer: a click selects the whole row, so the double
    click, Ctrl+P and the single click play; names are shown whole, as the
    main window's list view shows them."""
    src = os.path.join(session.root, "src")
    names = ["a.wav", "a much longer entry name.wav"]
    fixtures.make_sources(src, names)
    fixtures.make_sources(session.work, names)
    fixtures.make_zip(os.path.join(session.work, "list.zip"), src, names)
    session.write_ini(SingleClick=1)
    prog = Program(session)
    prog.row(names[1])
    prog.d.click_node(prog.tool_button(prog.main, 2))
    wait_for("the list view", lambda: prog.file_list().getRole() == pyatspi.ROLE_LIST)
    main_width = prog.d.extents(prog.row(names[1]))[2]
    viewer, caption = open_viewer(prog, "list.zip")
    prog.menu(viewer, "表示(&V)", "一覧(&L)")
    wait_for("the viewer's list view", lambda: prog.file_list(viewer).getRole() == pyatspi.ROLE_LIST)
    check(prog.menu_checked(viewer, "表示(&V)", "一覧(&L)"), "一覧 carries no check mark")
    play_and_hear(prog, "double click in the viewer's list view",
                  lambda: prog.d.click_node(prog.row(names[1], viewer), repeat=2))
    check(prog.selected(prog.row(names[1], viewer)), "the double-clicked row is not selected")
    session.monitor.wait_silence()
    prog.select(names[0], viewer)
    play_and_hear(prog, "Ctrl+P in the viewer's list view", lambda: prog.press(viewer, "ctrl+p"))
    session.monitor.wait_silence()
    play_and_hear(prog, "single click on an extracted entry in the list view",
                  lambda: prog.d.click_node(prog.row(names[1], viewer)))
    # The main window's items carry a file icon the viewer's need not have.
    width = prog.d.extents(prog.row(names[1], viewer))[2]
    check(width >= main_width - 24, f"the viewer's list view cuts {names[1]!r} to {width} pixels; "
          f"the main window's list view shows it {main_width} wide")


# ---- hints, bars, views -------------------------------------------------------------

def show_hint(prog, win, menu_name, item_name, hint):
    """Highlights a menu item with the pointer until the window's status bar shows its hint,
    then closes the menu."""
    menu_name, item_name = plain(menu_name), plain(item_name)
    top, item = prog.open_menu(win, menu_name, item_name)
    x, y = prog.d.centre_of(item)
    moves = iter(range(10 ** 6))

    def probe():
        # A menu that has only just opened may miss a motion: move again, a pixel aside.
        prog.d.move(x + next(moves) % 3 - 1, y)
        return prog.status(win) == hint
    try:
        wait_for(f"the status bar to show {hint!r}", probe, timeout=10, interval=0.1)
    except TestFailure:
        raise TestFailure(f"highlighting {item_name!r} shows {prog.status(win)!r}, not the hint {hint!r}") from None
    prog.d.key("Escape")
    wait_for(f"the menu {menu_name!r} to close", lambda: not prog._showing_item(top, item_name))


MAIN_HINTS = [
    ("ファイル(&F)", "再生(&P)", "選択されているファイルを再生、または開きます"),
    ("ファイル(&F)", "オプション(&O)", "オプションを設定します"),
    ("ファイル(&F)", "終了(&X)", "ねいろんを終了します"),
    ("表示(&V)", "ツールバー(&T)", "ツールバーの表示/非表示を切り替えます"),
    ("表示(&V)", "詳細(&D)", "ウィンドウ内の各オブジェクトの情報を表示します"),
    ("ヘルプ(&H)", "バージョン情報(&A)", "バージョン情報を表示します"),
]


@case
def hints_in_status_bars(session):
    """A highlighted menu item's hint shows in the status bar of the window in front."""
    archive = archive_folder(session, "zip")
    prog = Program(session)
    prog.row(archive)
    for menu_name, item, hint in MAIN_HINTS:
        show_hint(prog, prog.main, menu_name, item, hint)
    viewer, caption = open_viewer(prog, archive)
    for menu_name, item, hint in [("ファイル(&F)", "閉じる(&C)", "メイン画面に戻ります"),
                                  ("表示(&V)", "一覧(&L)", "オブジェクトを一覧表示します")]:
        show_hint(prog, viewer, menu_name, item, hint)
    check(prog.status() != "メイン画面に戻ります", "the viewer's hint went to the main window")


def toggle_bars(prog, win):
    bars = (("ツールバー(&T)", prog.d.tool_bar_showing), ("ステータスバー(&S)", prog.d.status_bar_showing))
    for item, showing in bars:
        check(showing(win) and prog.menu_checked(win, "表示(&V)", item), f"{item} is not shown and checked at first")
        prog.menu(win, "表示(&V)", item)
        wait_for(f"{item} hidden and unchecked",
                 lambda: not showing(win) and not prog.menu_checked(win, "表示(&V)", item))
        prog.menu(win, "表示(&V)", item)
        wait_for(f"{item} shown and checked", lambda: showing(win) and prog.menu_checked(win, "表示(&V)", item))


def list_detail_buttons(prog, win, first_button):
    list_button, detail_button = prog.tool_button(win, first_button), prog.tool_button(win, first_button + 1)
    check(prog.menu_checked(win, "表示(&V)", "詳細(&D)") and not prog.menu_checked(win, "表示(&V)", "一覧(&L)"),
          "the detail view is not the checked one at first")
    prog.d.click_node(list_button)
    def shows(list_view):
        view_item, other_item = ("一覧(&L)", "詳細(&D)") if list_view else ("詳細(&D)", "一覧(&L)")
        down, up = (first_button, first_button + 1) if list_view else (first_button + 1, first_button)
        return ((prog.file_list(win).getRole() == pyatspi.ROLE_LIST) == list_view
                and prog.menu_checked(win, "表示(&V)", view_item)
                and not prog.menu_checked(win, "表示(&V)", other_item)
                and prog.d.pressed(prog.tool_button(win, down)) and not prog.d.pressed(prog.tool_button(win, up)))
    wait_for("the list view with 一覧 checked and its button down", lambda: shows(True))
    prog.d.click_node(detail_button)
    wait_for("the detail view with 詳細 checked and its button down", lambda: shows(False))


@case
def bars_and_views(session):
    """The bars' toggles and check marks and the list/detail buttons, in both windows;
    a bar hidden at close stays hidden at the next start."""
    archive = archive_folder(session, "zip")
    prog = Program(session)
    prog.row(archive)
    toggle_bars(prog, prog.main)
    list_detail_buttons(prog, prog.main, 2)
    viewer, caption = open_viewer(prog, archive)
    toggle_bars(prog, viewer)
    list_detail_buttons(prog, viewer, 1)
    prog.menu(viewer, "表示(&V)", "ツールバー(&T)")
    wait_for("the viewer's tool bar hidden", lambda: not prog.d.tool_bar_showing(viewer))
    prog.menu(viewer, "ファイル(&F)", "閉じる(&C)")
    prog.d.window_gone(prog.app, caption)
    prog.menu(prog.main, "表示(&V)", "ステータスバー(&S)")
    wait_for("the status bar hidden", lambda: not prog.d.status_bar_showing(prog.main))
    check(prog.close() == 0, "the program did not end cleanly")
    again = Program(session)
    again.row(archive)
    check(not again.d.status_bar_showing(again.main)
          and not again.menu_checked(again.main, "表示(&V)", "ステータスバー(&S)"),
          "the status bar hidden at close is shown again")
    check(again.d.tool_bar_showing(again.main), "the main tool bar is gone")
    viewer, caption = open_viewer(again, archive)
    check(not again.d.tool_bar_showing(viewer) and not again.menu_checked(viewer, "表示(&V)", "ツールバー(&T)"),
          "the viewer's tool bar hidden at close is shown again")


# ---- dialogs ----------------------------------------------------------------------------

OPTIONS, EVENTS, ABOUT = "オプション", "サウンドイベント設定", "バージョン情報"


def open_dialog(prog, name):
    """Opens one of the main window's dialogs as a user does."""
    if name == OPTIONS:
        prog.press(prog.main, "ctrl+o")
    elif name == EVENTS:
        prog.select("a.wav")
        prog.press(prog.main, "ctrl+e")
    elif name == ABOUT:
        prog.menu(prog.main, "ヘルプ(&H)", "バージョン情報(&A)")
    return prog.window(name)


def close_dialog(prog, dialog, name):
    # Esc is the cancel button (the about box's OK): a key reaches a window the
    # window manager may still be moving, where a click can miss.
    prog.press(dialog, "Escape")
    prog.d.window_gone(prog.app, name)


def framed_outer(prog, name):
    """The outer frame of a window once the window manager has framed it and it stands still."""
    wid = prog.d.x_window(name)
    wait_for(f"{name!r} framed", lambda: prog.d.framed(wid))
    last = [None]

    def still():
        now = prog.d.outer(wid)
        same = now == last[0]
        last[0] = now
        return now if same else None
    return wid, wait_for(f"{name!r} to stand still", still, interval=0.1)


def centred(main, dialog):
    mx, my, mw, mh = main
    x, y, w, h = dialog
    return mx + int((mw - w) / 2), my + int((mh - h) / 2)


def off_centre(prog, name):
    """What is wrong with a window's placement on the main window, or None."""
    _, main = framed_outer(prog, TITLE)
    _, outer = framed_outer(prog, name)
    want = centred(main, outer)
    # A window that stands off by half the frame is what the user sees as off centre.
    if abs(outer[0] - want[0]) <= 1 and abs(outer[1] - want[1]) <= 1:
        return None
    return (f"{name!r} stands at {outer[:2]} (outer {outer[2]}x{outer[3]}); centred on the main window's frame "
            f"{main} it stands at {want}")


def dialog_session(session):
    sound_folder(session, ("a.wav",))
    session.write_ini(MainSize="160,120,900,640,-1")
    return Program(session)


@case
def dialogs_centred_on_outer_frames(session):
    """Every dialog and the viewer stand centred on the main window, measured on the frames the user sees."""
    archive = archive_folder(session, "zip")
    prog = dialog_session(session)
    problems = []
    for name in (OPTIONS, EVENTS, ABOUT):
        dialog = open_dialog(prog, name)
        problems.append(off_centre(prog, name))
        close_dialog(prog, dialog, name)
    viewer, caption = open_viewer(prog, archive)
    problems.append(off_centre(prog, caption))
    problems = [p for p in problems if p]
    check(not problems, "; ".join(problems))


@case
def dialogs_owned_by_main_window(session):
    """The options dialog, the sound event dialog, the about box and the viewer
    are owned by the main window (WM_TRANSIENT_FOR)."""
    archive = archive_folder(session, "zip")
    prog = dialog_session(session)
    main = prog.x_main()
    owners = {}
    for name in (OPTIONS, EVENTS, ABOUT):
        dialog = open_dialog(prog, name)
        owners[name] = prog.d.transient_for(prog.d.x_window(name))
        close_dialog(prog, dialog, name)
    viewer, caption = open_viewer(prog, archive)
    owners["the viewer"] = prog.d.transient_for(prog.d.x_window(caption))
    wrong = [f"{name!r} is owned by {owner and hex(owner)}" for name, owner in owners.items() if owner != main]
    check(not wrong, "; ".join(wrong) + f"; the main window is {hex(main)}")


@case
def viewer_size_is_outer(session):
    """The saved viewer size is its outer size: it opens at it and closes saving it."""
    archive = archive_folder(session, "zip")
    session.write_ini(MainSize="160,120,900,640,-1", LZHSize="520,380")
    prog = Program(session)
    viewer, caption = open_viewer(prog, archive)
    _, outer = framed_outer(prog, caption)
    check(outer[2:] == (520, 380), f"the viewer opens at outer {outer[2]}x{outer[3]}, not at the saved 520x380")
    prog.menu(viewer, "ファイル(&F)", "閉じる(&C)")
    prog.d.window_gone(prog.app, caption)
    check(prog.close() == 0, "the program did not end cleanly")
    with open(session.ini_path, encoding="ascii", errors="replace") as f:
        text = f.read()
    check("LZHSize=520,380" in text, f"closing saved another viewer size: {text!r}")


@case
def about_box_shows_version(session):
    """The about box reads the executable's version data."""
    prog = dialog_session(session)
    about = open_dialog(prog, ABOUT)
    version = wait_for("the version label", lambda: prog.d.find(about, name="1.20.2001.610"), timeout=5)
    check(version is not None, "the about box does not show the version 1.20.2001.610")
    check(prog.d.find(about, name=TITLE) is not None, "the about box does not show the title")


# ---- one-shot mode, bad input, keys -----------------------------------------------------

@case
def one_shot_sound_event_dialog(session):
    """TIDEBELL file.wav shows only the sound event dialog for that file and ends with 0,
    without touching the settings."""
    sound_folder(session, ("a.wav",))
    path = os.path.join(session.work, "a.wav")
    prog = Program(session, path, window=None)
    dialog = prog.window(EVENTS, timeout=30)
    check(prog.d.window_names(prog.app) == [EVENTS], f"windows shown: {prog.d.window_names(prog.app)}")
    shown = wait_for("the file's path in the dialog",
                     lambda: prog.d.find(dialog, pred=lambda n: n.name and n.name.endswith("a.wav")), timeout=5)
    check(shown.name.endswith(windows_path(path)), f"the dialog shows {shown.name!r}, not the path of {path}")
    close_dialog(prog, dialog, EVENTS)
    wait_for("the program to end", lambda: prog.proc.poll() is not None, timeout=20)
    check(prog.proc.returncode == 0, f"exit code {prog.proc.returncode}")
    check(not os.path.exists(session.ini_path), "the one-shot mode wrote the settings file")


def message_box(prog, timeout=15):
    """The program's message box: a dialog with the program's title."""
    def probe():
        for i in range(prog.app.childCount):
            win = prog.app.getChildAtIndex(i)
            if win is not None and win.getRole() in (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT) and \
                    win.name == TITLE and win.getState().contains(pyatspi.STATE_SHOWING):
                return win
        return None
    return wait_for("a message box", probe, timeout=timeout)


def texts_of(prog, node):
    return [n.name for n in prog.d.walk(node) if n.name]


@case
def damaged_archive_message(session):
    """A damaged archive and one without WAVE files give "WAVファイルがありません。"; no viewer opens."""
    src = os.path.join(session.root, "src")
    fixtures.make_sources(src, ["a.wav"])
    with open(os.path.join(src, "readme.txt"), "w") as f:
        f.write("no sound here\n")
    good = fixtures.make_zip(os.path.join(session.root, "good.zip"), src, ["a.wav"])
    fixtures.make_damaged_zip(os.path.join(session.work, "damaged.zip"), good)
    fixtures.make_zip(os.path.join(session.work, "text.zip"), src, ["readme.txt"])
    prog = Program(session)
    for name in ("damaged.zip", "text.zip"):
        prog.d.click_node(prog.row(name), repeat=2)
        box = message_box(prog)
        texts = texts_of(prog, box)
        check("WAVファイルがありません。" in texts, f"{name}: the message box shows {texts}")
        prog.press(box, "Return")
        wait_for("the message box to close", lambda: TITLE not in [
            prog.app.getChildAtIndex(i).name for i in range(prog.app.childCount)
            if prog.app.getChildAtIndex(i).getRole() in (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT)
            and prog.app.getChildAtIndex(i).getState().contains(pyatspi.STATE_SHOWING)])
        check(prog.d.window_names(prog.app) == [TITLE], f"windows after {name}: {prog.d.window_names(prog.app)}")


@case
def markup_file_name_shown_literally(session):
    """A file named like markup shows its name, not bold text, in the sound event dialog."""
    name = "<b>bell.wav"
    sound_folder(session, (name,))
    prog = Program(session)
    prog.select(name)
    prog.press(prog.main, "ctrl+e")
    dialog = prog.window(EVENTS)
    shown = wait_for("the file's path in the dialog",
                     lambda: prog.d.find(dialog, pred=lambda n: n.name and "bell" in n.name), timeout=5)
    check(shown.name.endswith(name), f"the dialog shows {shown.name!r} for the file {name!r}")


@case
def viewer_escape_keeps_viewer(session):
    """The viewer has no cancel: Esc leaves it open."""
    archive = archive_folder(session, "zip")
    prog = Program(session)
    first = fixtures.JAPANESE_NAMES[0]
    viewer, caption = open_viewer(prog, archive)
    prog.select(first, viewer)
    prog.press(viewer, "Escape")
    try:
        barrier(prog, viewer)
    except Exception:
        check(caption in prog.d.window_names(prog.app), "Esc closed the archive viewer")
        raise
    check(caption in prog.d.window_names(prog.app), "Esc closed the archive viewer")


@case
def only_left_double_click_acts(session):
    """A right or middle double click plays nothing in the viewer, and a middle one
    nothing in the main list (its right button opens the context menu)."""
    archive = archive_folder(session, "zip")
    sound_folder(session, ("a.wav",))
    prog = Program(session)
    first = fixtures.JAPANESE_NAMES[0]
    viewer, caption = open_viewer(prog, archive)
    prog.select(first, viewer)
    for button in (3, 2):
        session.monitor.reset()
        prog.d.click_node(prog.row(first, viewer), button=button, repeat=2)
        barrier(prog, viewer)
        session.monitor.assert_silent(f"button {button}'s double click in the viewer does nothing")
    prog.menu(viewer, "ファイル(&F)", "閉じる(&C)")
    prog.d.window_gone(prog.app, caption)
    prog.select("a.wav")
    session.monitor.reset()
    prog.d.click_node(prog.row("a.wav"), button=2, repeat=2)
    prog.d.click_node(prog.row(archive), button=2, repeat=2)
    barrier(prog, prog.main)
    session.monitor.assert_silent("a middle-button double click in the main list does nothing")
    check(prog.d.window_names(prog.app) == [TITLE], "a middle-button double click opened the archive")
    # In the event tree a middle double click assigns nothing and leaves the dialog open.
    dialog = open_dialog(prog, EVENTS)
    event, app, ok = event_node(prog, dialog, "Windows", "システム エラー")
    prog.d.click_node(event)
    wait_for("OK enabled on an event", lambda: ok.getState().contains(pyatspi.STATE_ENABLED))
    prog.d.click_node(event, button=2, repeat=2)
    prog.d.click_node(app)
    try:
        wait_for("OK disabled on an application's node", lambda: not ok.getState().contains(pyatspi.STATE_ENABLED))
    except Exception:
        check(EVENTS in prog.d.window_names(prog.app), "a middle-button double click closed the sound event dialog")
        raise
    check("a.wav" not in registry_text(session), "a middle-button double click assigned the sound")


# ---- the sound event and options dialogs' main paths -----------------------------------

def event_node(prog, dialog, app_name, event_label):
    """Selects an application's node, opens it with the keyboard and gives the event's node."""
    app = wait_for(f"the node {app_name!r}", lambda: prog.d.find(dialog, role=pyatspi.ROLE_TABLE_CELL, name=app_name))
    ok = prog.d.find(dialog, role=pyatspi.ROLE_PUSH_BUTTON, name="OK")

    def selected():
        if not prog.selected(app):
            prog.d.click_node(app)
        return prog.selected(app)
    wait_for(f"the node {app_name!r} selected", selected, interval=0.2)
    check(not ok.getState().contains(pyatspi.STATE_ENABLED), "OK is enabled on an application's node")
    event = lambda: prog.d.find(dialog, role=pyatspi.ROLE_TABLE_CELL, name=event_label, showing=True)
    for attempt in range(3):
        prog.press(dialog, "Right")
        try:
            return wait_for(f"the event {event_label!r}", event, timeout=4), app, ok
        except TestFailure:
            if attempt == 2:
                raise


def registry_text(session):
    path = os.path.join(session.home, ".config", "tidebell", "registry.reg")
    if not os.path.exists(path):
        return ""
    with open(path, "rb") as f:
        return f.read().decode("utf-8", errors="replace")


@case
def sound_event_dialog_assigns(session):
    """Ctrl+E on a WAVE file, an event picked in the tree: OK is enabled only on
    events, and a double click on the event assigns the file and closes the dialog."""
    sound_folder(session, ("a.wav",))
    prog = Program(session)
    dialog = open_dialog(prog, EVENTS)
    event, app, ok = event_node(prog, dialog, "Windows", "システム エラー")
    prog.d.click_node(event)
    wait_for("OK enabled on an event", lambda: ok.getState().contains(pyatspi.STATE_ENABLED))
    prog.d.click_node(event, repeat=2)
    prog.d.window_gone(prog.app, EVENTS)
    text = wait_for("the assignment in the registry", lambda: "a.wav" in registry_text(session) and
                    registry_text(session), timeout=5)
    check("SystemHand" in text, "the file was not assigned to the SystemHand event")


@case
def options_dialog_sets_single_click(session):
    """Ctrl+O, シングルクリックで再生 checked, OK: a single click plays from then on."""
    sound_folder(session, ("a.wav", "b.wav"))
    prog = Program(session)
    dialog = open_dialog(prog, OPTIONS)
    box = prog.d.find(dialog, role=pyatspi.ROLE_CHECK_BOX, name="シングルクリックで再生(P)")

    for attempt in range(3):
        # A click on a dialog the window manager is still placing can miss.
        prog.d.click_node(box)
        try:
            wait_for("the box checked", lambda: prog.d.checked(box), timeout=3)
            break
        except TestFailure:
            if attempt == 2:
                raise
    prog.press(dialog, "Return")
    prog.d.window_gone(prog.app, OPTIONS)
    play_and_hear(prog, "a single click after the option was set", lambda: prog.d.click_node(prog.row("b.wav")))


@case
def desktop_entry_starts_program(session):
    """The desktop entry, launched as a desktop launches it (gio launch), opens the main window."""
    prefix = os.path.dirname(os.path.dirname(session.program))
    entry = os.path.join(prefix, "share", "applications", "tidebell.desktop")
    if not os.path.exists(entry):
        # A build tree: the entry as it is installed.
        entry = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging", "tidebell.desktop")
    env = dict(session.env, PATH=os.path.dirname(session.staged) + os.pathsep + session.env["PATH"])
    with open(os.path.join(session.root, "launch.log"), "wb") as log:
        subprocess.run(["gio", "launch", entry], env=env, cwd=session.home, check=True, timeout=30,
                       stdout=log, stderr=subprocess.STDOUT)

    def find_app():
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            child = desktop.getChildAtIndex(i)
            if child is not None and child.name == TITLE:
                return child
        return None
    app = wait_for("the program started from its desktop entry", find_app, timeout=30)
    pid = app.get_process_id()
    try:
        check(os.path.realpath(f"/proc/{pid}/exe") == os.path.realpath(session.staged),
              "the desktop entry started another program")
        prog = Program(session, app=app)
        prog.menu(prog.main, "ファイル(&F)", "終了(&X)")
        wait_for("the program to end", lambda: not os.path.exists(f"/proc/{pid}"), timeout=20)
    finally:
        if os.path.exists(f"/proc/{pid}"):
            os.kill(pid, 15)
