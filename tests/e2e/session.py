"""A private desktop session for driving the program as a user does.

Each session owns a virtual X server with a framing window manager, a
private D-Bus session bus (through which Qt finds the accessibility bus),
a sound server with a silent sink, a fresh HOME and working folder, and a
copy of the program whose settings file is its own. Input goes through
XTest; windows are read back through the accessibility tree and the X
server; sound is read from the sink's monitor.
"""

import ctypes
import os
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time

TWMRC = """\
RandomPlacement
UsePPosition "on"
DecorateTransients
NoGrabServer
BorderWidth 2
TitleFont "fixed"
ResizeFont "fixed"
MenuFont "fixed"
IconFont "fixed"
IconManagerFont "fixed"
"""


class TestFailure(Exception):
    pass


_libc = ctypes.CDLL(None, use_errno=True)


def _end_with_parent():
    """Runs in each child before it starts: a case killed on its time-out takes its session with it."""
    _libc.prctl(1, signal.SIGTERM)   # PR_SET_PDEATHSIG


def _popen(*args, **kwargs):
    return subprocess.Popen(*args, preexec_fn=_end_with_parent, **kwargs)


def wait_for(what, probe, timeout=15.0, interval=0.02):
    """Polls probe() until it returns a true value and gives that value back."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = probe()
            if value:
                return value
        except Exception as error:  # the tree changes under us while windows come and go
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error!r})" if last_error else ""
            raise TestFailure(f"timed out after {timeout:.0f} s waiting for {what}{detail}")
        time.sleep(interval)


def run(args, env, check=True, timeout=20):
    result = subprocess.run(args, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            timeout=timeout)
    if check and result.returncode != 0:
        raise TestFailure(f"{' '.join(args)} failed: {result.stderr.strip()}")
    return result.stdout


class SoundMonitor:
    """Records the silent sink's monitor and notes when sound first arrives."""

    RATE = 48000
    READ = 65536   # a pipe's whole capacity: a shorter read has emptied it

    def __init__(self, env):
        self.env = env
        self.proc = None
        self.thread = None
        self.lock = threading.Lock()
        self.first_sound = None
        self.first_peak = 0
        self.first_at = 0
        self.samples = 0
        self.quiet_run = 0
        self.flush_from = None
        self.flushed = threading.Event()

    def start(self):
        self.proc = _popen(
            ["parec", "--device=ci_null.monitor", "--format=s16le", f"--rate={self.RATE}", "--channels=1",
             "--latency-msec=5", "--raw"], env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        fd = self.proc.stdout.fileno()
        carry = b""
        while True:
            begun = time.monotonic()
            chunk = os.read(fd, self.READ)
            if not chunk:
                return
            now = time.monotonic()
            data = carry + chunk
            even = len(data) // 2 * 2
            carry = data[even:]
            samples = memoryview(data[:even]).cast("h")
            last_loud = None
            for i in range(len(samples) - 1, -1, -1):
                if abs(samples[i]) > 64:
                    last_loud = i
                    break
            with self.lock:
                if self.flush_from is not None:
                    # Audio read before the pipe ran dry once after the reset
                    # may have been played before it.
                    if begun >= self.flush_from and len(chunk) < self.READ:
                        self.flush_from = None
                        self.flushed.set()
                    continue
                self.samples += len(samples)
                if last_loud is None:
                    self.quiet_run += len(samples)
                else:
                    self.quiet_run = len(samples) - 1 - last_loud
                    if self.first_sound is None:
                        self.first_sound = now
                        self.first_peak = max(abs(v) for v in samples)
                        self.first_at = self.samples - len(samples) + next(
                            i for i, v in enumerate(samples) if abs(v) > 64)

    def reset(self):
        """Forgets what was heard so far; returns once what is read from then on was played after the call."""
        with self.lock:
            self.first_sound = None
            self.first_peak = 0
            self.first_at = 0
            self.samples = 0
            self.quiet_run = 0
            self.flush_from = time.monotonic()
            self.flushed.clear()
        if not self.flushed.wait(10):
            raise TestFailure("the sink's monitor does not deliver")

    def heard(self):
        with self.lock:
            return self.first_sound

    def wait_sound(self, what, timeout=10.0):
        return wait_for(f"sound at the sink ({what})", self.heard, timeout=timeout)

    def wait_silence(self, seconds=0.15, timeout=15.0):
        """Waits until the sink has carried that much silence in a row. Counted in
        samples, not wall time, so a slow reader does not take a gap for silence."""
        self.reset()
        wait_for("silence at the sink", lambda: self.quiet_run >= seconds * self.RATE, timeout=timeout)

    def assert_silent(self, what, seconds=0.6, timeout=15.0):
        """Fails when anything is heard before the sink has carried that much audio since the last reset."""
        wait_for(f"{seconds} s of the sink's audio", lambda: self.heard() or self.samples >= seconds * self.RATE,
                 timeout=timeout)
        if self.heard():
            raise TestFailure(f"sound was heard although {what} (peak {self.first_peak}, "
                              f"{self.first_at / self.RATE * 1000:.0f} ms into the sink's audio after the reset)")

    def stop(self):
        if self.proc:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class Session:
    def __init__(self, program):
        self.program = os.path.abspath(program)
        self.root = tempfile.mkdtemp(prefix="tidebell-e2e.")
        self.home = os.path.join(self.root, "home")
        self.work = os.path.join(self.root, "work")
        self.tmp = os.path.join(self.root, "tmp")
        for folder in (self.home, self.work, self.tmp):
            os.makedirs(folder)
        self.procs = []
        self.apps = []
        self.monitor = None
        self.env = None
        self.staged = self._stage_program()

    # The settings file lies beside the program when its folder can be
    # written; a copy of the program's folder gives each run its own.
    def _stage_program(self):
        bin_dir = os.path.dirname(self.program)
        prefix = os.path.dirname(bin_dir)
        stage = os.path.join(self.root, "prefix")
        os.makedirs(stage)
        for name in os.listdir(prefix):
            if name != os.path.basename(bin_dir):
                os.symlink(os.path.join(prefix, name), os.path.join(stage, name))
        staged_bin = os.path.join(stage, os.path.basename(bin_dir))
        os.makedirs(staged_bin)
        for name in os.listdir(bin_dir):
            source = os.path.join(bin_dir, name)
            if name == "TIDEBELL.INI" or name.endswith(".reg"):
                continue
            if name == os.path.basename(self.program):
                shutil.copy2(source, os.path.join(staged_bin, name))
            else:
                os.symlink(source, os.path.join(staged_bin, name))
        return os.path.join(staged_bin, os.path.basename(self.program))

    @property
    def ini_path(self):
        return os.path.join(os.path.dirname(self.staged), "TIDEBELL.INI")

    def write_ini(self, **keys):
        lines = ["[TIDEBELL]"] + [f"{k}={v}" for k, v in keys.items()]
        with open(self.ini_path, "w", encoding="ascii") as f:
            f.write("\r\n".join(lines) + "\r\n")

    def start(self):
        base = {k: v for k, v in os.environ.items() if k in ("PATH", "LANG", "LC_ALL")}
        runtime = os.path.join(self.root, "run")
        os.makedirs(runtime, mode=0o700)
        base.update(HOME=self.home, TMPDIR=self.tmp, XDG_RUNTIME_DIR=runtime,
                    LANG="ja_JP.UTF-8" if _has_locale("ja_JP.utf8") else "C.UTF-8",
                    XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                    XDG_DATA_HOME=os.path.join(self.home, ".local", "share"),
                    XDG_CACHE_HOME=os.path.join(self.home, ".cache"),
                    QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                    BROWSER="true")
        self.env = base
        try:
            self._start_sound()
            self._start_x()
            self._start_bus()
            self.monitor = SoundMonitor(self.env)
            self.monitor.start()
        except BaseException:
            self.stop()
            raise
        return self

    def _start_x(self):
        read_fd, write_fd = os.pipe()
        xvfb = _popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24", "-nolisten",
                                 "tcp", "-noreset"], pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, env=self.env)
        os.close(write_fd)
        self.procs.append(xvfb)
        number = b""
        deadline = time.monotonic() + 20
        with os.fdopen(read_fd, "rb") as pipe:
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                byte = pipe.read(1)
                if not byte:
                    break
                number += byte
        if not number.strip():
            raise TestFailure("the virtual X server did not start")
        self.env["DISPLAY"] = ":" + number.decode().strip()
        rc = os.path.join(self.root, "twmrc")
        with open(rc, "w") as f:
            f.write(TWMRC)
        self.procs.append(_popen(["twm", "-f", rc], env=dict(self.env, LANG="C", LC_ALL="C"),
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        # twm has taken the screen once it has made its own (unmapped) windows.
        wait_for("the window manager", lambda: _root_children(self.env) > 0, timeout=20)

    def _start_sound(self):
        """A sound server of the session's own, playing into a silent sink whose monitor the cases hear."""
        log = os.path.join(self.root, "sound-server.log")
        # As root the server warns that it is meant for a user session; a user daemon is what we want.
        self.procs.append(_popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit", "--use-pid-file=no",
             f"--log-target=file:{log}", "-L", "module-native-protocol-unix auth-anonymous=1",
             "-L", "module-null-sink sink_name=ci_null rate=48000 channels=2"],
            env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_for("the sound server", lambda: subprocess.run(
            ["pactl", "info"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0,
            timeout=20, interval=0.05)

    def _start_bus(self):
        bus = _popen(["dbus-daemon", "--session", "--nofork", "--print-address=1", "--nopidfile"],
                               env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.procs.append(bus)
        address = bus.stdout.readline().strip()
        if not address:
            raise TestFailure("the session bus did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        os.environ.update({k: self.env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS")})
        os.environ["HOME"] = self.home

    def launch(self, *args, cwd=None):
        """Starts the program as a user does, from a working folder."""
        log = open(os.path.join(self.root, f"program-{len(self.apps)}.log"), "wb")
        proc = _popen([self.staged, *args], cwd=cwd or self.work, env=self.env, stdout=log,
                      stderr=subprocess.STDOUT, start_new_session=True)
        proc.log_path = log.name
        log.close()
        self.apps.append(proc)
        return proc

    def stop(self):
        for proc in self.apps:
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        if self.monitor:
            self.monitor.stop()
        # The accessibility bus launcher is the session bus's child and ends with it.
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.send_signal(signal.SIGTERM)
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        if os.path.basename(self.root).startswith("tidebell-e2e.") and os.path.dirname(self.root) == \
                tempfile.gettempdir():
            shutil.rmtree(self.root, ignore_errors=True)


def _has_locale(name):
    try:
        out = subprocess.run(["locale", "-a"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout
    except OSError:
        return False
    return name in out.split()


def _root_children(env):
    out = run(["xwininfo", "-root", "-children"], env, check=False, timeout=5)
    match = re.search(r"(\d+) child", out)
    return int(match.group(1)) if match else 0
