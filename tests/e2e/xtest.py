"""The user's pointer and keyboard through the X server's XTest extension,
sent from this process so that each input is timed where it leaves."""

import ctypes
import ctypes.util
import time

_x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
_xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
_x11.XOpenDisplay.restype = ctypes.c_void_p
_x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
_x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
_x11.XStringToKeysym.restype = ctypes.c_ulong
_x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
_x11.XKeysymToKeycode.restype = ctypes.c_ubyte
_x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
_xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
_xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
_xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]

MODIFIERS = {"ctrl": "Control_L", "shift": "Shift_L", "alt": "Alt_L"}


class XTest:
    def __init__(self, display):
        self.dpy = _x11.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError(f"cannot open the X display {display}")

    def _sync(self):
        _x11.XSync(self.dpy, 0)
        return time.monotonic()

    def move(self, x, y):
        _xtst.XTestFakeMotionEvent(self.dpy, -1, int(x), int(y), 0)
        return self._sync()

    def click(self, button=1, repeat=1, gap=0.05):
        """Presses and releases a button; gives the time just before the last press was sent
        (a double click acts on its second press), so that times measured from it are never short."""
        sent = None
        for i in range(repeat):
            if i:
                time.sleep(gap)   # the gap between the clicks of a double click
            sent = time.monotonic()
            _xtst.XTestFakeButtonEvent(self.dpy, button, 1, 0)
            self._sync()
            _xtst.XTestFakeButtonEvent(self.dpy, button, 0, 0)
            self._sync()
        return sent

    def _code(self, name):
        sym = _x11.XStringToKeysym(MODIFIERS.get(name.lower(), name).encode())
        code = _x11.XKeysymToKeycode(self.dpy, sym)
        if not code:
            raise RuntimeError(f"no key for {name!r}")
        return code

    def key(self, combo):
        """A key with its modifiers, as "ctrl+p"; gives the time just before the key's press was sent."""
        names = combo.split("+")
        codes = [self._code(n) for n in names]
        for code in codes[:-1]:
            _xtst.XTestFakeKeyEvent(self.dpy, code, 1, 0)
        self._sync()
        pressed = time.monotonic()
        _xtst.XTestFakeKeyEvent(self.dpy, codes[-1], 1, 0)
        self._sync()
        for code in reversed(codes):
            _xtst.XTestFakeKeyEvent(self.dpy, code, 0, 0)
        self._sync()
        return pressed

    def close(self):
        if self.dpy:
            _x11.XCloseDisplay(self.dpy)
            self.dpy = None
