"""Drives the real TALVERN program on an X server (run under xvfb-run).

Every wait polls with a deadline; nothing sleeps as logic. A Program always ends its
process (the context manager kills what is still running), and keeps the program's
output for the failure message.
"""
import ctypes
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

from PIL import Image, ImageChops

BINARY = os.environ.get("TALVERN_BINARY", "")
TEST_TMP = os.environ.get("TALVERN_TEST_TMP", tempfile.gettempdir())
os.makedirs(TEST_TMP, exist_ok=True)


class Timeout(AssertionError):
    pass


def poll(what, fn, timeout=20.0, interval=0.05):
    """Calls fn until it returns something truthy; raises Timeout naming what."""
    deadline = time.monotonic() + timeout
    while True:
        value = fn()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Timeout("timed out waiting for " + what)
        time.sleep(interval)


def run(*args, check=True, timeout=30):
    return subprocess.run(args, check=check, timeout=timeout, capture_output=True, text=True).stdout


def xdotool(*args, check=True):
    return run("xdotool", *[str(a) for a in args], check=check)


def screen_size():
    out = run("xdpyinfo")
    m = re.search(r"dimensions:\s+(\d+)x(\d+) pixels", out)
    return int(m.group(1)), int(m.group(2))


def screenshot(path=None):
    """The whole screen as an RGB image (also saved to path when given)."""
    fd, tmp = tempfile.mkstemp(suffix=".png", dir=TEST_TMP)
    os.close(fd)
    try:
        run("import", "-window", "root", tmp)
        image = Image.open(tmp).convert("RGB")
        image.load()
    finally:
        os.unlink(tmp)
    if path:
        image.save(path)
    return image


def read_store(config_dir):
    """The registry store as {key path: {value name: value}} (names lower-cased)."""
    path = os.path.join(config_dir, "registry.txt")
    store = {}
    if not os.path.exists(path):
        return store
    key = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("[") and line.endswith("]"):
                key = unescape(line[1:-1]).lower()
                store.setdefault(key, {})
            elif key is not None and "=" in line and not line.startswith(";"):
                name, value = line.split("=", 1)
                kind, _, data = value.partition(":")
                if kind == "dword":
                    parsed = int(data, 16)
                elif kind == "sz":
                    parsed = unescape(data)
                else:
                    parsed = bytes.fromhex(data)
                store[key][unescape(name).lower()] = parsed
    return store


def unescape(text):
    return re.sub(r"%([0-9A-Fa-f]{2})", lambda m: chr(int(m.group(1), 16)), text)


def profile_section(store, section, regpos="ZELT"):
    return store.get(("hkey_current_user\\software\\%s\\talvern\\%s" % (regpos, section)).lower(), {})


class Window:
    def __init__(self, wid):
        self.wid = wid

    def geometry(self):
        out = xdotool("getwindowgeometry", "--shell", self.wid)
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def name(self):
        return xdotool("getwindowname", self.wid, check=False).strip()

    def focus(self):
        xdotool("windowfocus", "--sync", self.wid, check=False)

    def key(self, *keys):
        self.focus()
        xdotool("key", "--delay", "30", *keys)

    def type(self, text):
        self.focus()
        # A character not on the keyboard is typed by remapping a spare key; the next such
        # character remaps it again, and a client that has not yet read the first mapping
        # loses a character. Those are given time; plain text goes at full speed.
        for run in re.findall(r"[\x20-\x7e]+|[^\x20-\x7e]+", text):
            xdotool("type", "--delay", "10" if run.isascii() else "150", run)

    def field_text(self, timeout=10):
        """The text of the focused text field, read back through the clipboard; None when
        nothing came (no text field had the focus yet)."""
        sentinel = "\x01unread\x01"
        subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=sentinel, text=True,
                       check=True, timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.key("ctrl+a", "ctrl+c")
        try:
            return poll("the field's text on the clipboard",
                        lambda: (lambda t: t if t != sentinel else None)(
                            run("xclip", "-o", "-selection", "clipboard", check=False)), timeout)
        except Timeout:
            return None

    def enter_text(self, text, tries=3):
        """Types text over the focused field's and checks that it arrived whole: under
        load the server may lose a remapped character. The field keeps the text."""
        for _ in range(tries):
            self.key("ctrl+a")
            self.type(text)
            if self.field_text() == text:
                return
        raise AssertionError("the field did not take %r" % text)

    def click(self, x, y, button=1):
        """Clicks at (x, y) relative to the window."""
        gx, gy, _, _ = self.geometry()
        xdotool("mousemove", "--sync", gx + x, gy + y)
        xdotool("click", button)

    def stable_crop(self, box=None, timeout=20):
        """A crop of the window once two screenshots in a row agree (painting done), but
        for a text cursor's blink: on a slow machine each screenshot takes longer than
        the blink, and two in a row would seldom catch the same phase."""
        last = [None]
        cursor = 2 * 24  # pixels: a cursor line two pixels wide, a line of text high

        def settled():
            img = self.crop(screenshot(), box)
            done = last[0] is not None and differs(last[0], img, 0) * img.size[0] * img.size[1] <= cursor
            last[0] = img
            return img if done else None

        return poll("the window to settle", settled, timeout, interval=0.1)

    def crop(self, image, box=None):
        """The window's part of a screenshot; box is relative to the window."""
        x, y, w, h = self.geometry()
        if box is None:
            box = (0, 0, w, h)
        return image.crop((x + box[0], y + box[1], x + box[2], y + box[3]))


class Program:
    """One run of the program with its own settings and output folders."""

    def __init__(self, test, args=(), lang="C.UTF-8", workdir=None, env=None, preexec=None):
        self.test = test
        self.workdir = workdir or tempfile.mkdtemp(prefix="e2e-", dir=TEST_TMP)
        self.config_dir = os.path.join(self.workdir, "config")
        self.out_dir = os.path.join(self.workdir, "out")
        os.makedirs(self.config_dir, exist_ok=True)
        os.makedirs(self.out_dir, exist_ok=True)
        self.args = list(args)
        self.lang = lang
        self.extra_env = env or {}
        self.preexec = preexec  # runs in the child before the program: limits, signals
        self.proc = None
        self.log_path = os.path.join(self.workdir, "program-%d.log" % time.monotonic_ns())

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.kill()
        return False

    def start(self):
        # A test that cannot find the program has tested nothing: it fails.
        if not BINARY or not os.access(BINARY, os.X_OK):
            raise AssertionError("no program to test: TALVERN_BINARY is %r" % BINARY)
        env = dict(os.environ)
        for name in ("LC_ALL", "LC_MESSAGES", "LANGUAGE"):
            env.pop(name, None)
        env.update({"LANG": self.lang, "TALVERN_CONFIG_DIR": self.config_dir,
                    "QT_QPA_PLATFORM": "xcb", "HOME": self.workdir})
        # The X keyboard library copies server strings with strndup past their end, which
        # strict string checks report at every start of the sanitizer build; not our code.
        if "ASAN_OPTIONS" in env:
            env["ASAN_OPTIONS"] = env["ASAN_OPTIONS"].replace("strict_string_checks=1", "strict_string_checks=0")
        env.update(self.extra_env)
        self.log = open(self.log_path, "w")
        self.proc = subprocess.Popen([BINARY] + self.args, env=env, stdout=self.log,
                                     stderr=subprocess.STDOUT, cwd=self.workdir, preexec_fn=self.preexec)

    def output(self):
        self.log.flush()
        with open(self.log_path, errors="replace") as f:
            return f.read()

    def windows(self):
        """Visible top-level windows of this process, as Window objects."""
        if self.proc.poll() is not None:
            raise AssertionError("the program ended (status %s):\n%s" % (self.proc.returncode, self.output()))
        out = xdotool("search", "--onlyvisible", "--pid", self.proc.pid, check=False)
        return [Window(w) for w in out.split()]

    def wait_window(self, pattern, timeout=30):
        """The first visible window whose name matches the regular expression."""
        regex = re.compile(pattern)

        def find():
            for w in self.windows():
                if regex.fullmatch(w.name()):
                    return w
            return None

        return poll("a window named %r" % pattern, find, timeout)

    def wait_exit(self, timeout=30):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Timeout("the program did not end:\n" + self.output())

    def kill(self):
        if self.proc and self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(5)
        if self.proc:
            self.log.close()

    def store(self):
        return read_store(self.config_dir)


def enter_name(app, window, text, timeout=60):
    """Types text into a file dialog's name field, checked, and presses Return until the
    dialog has closed: a completion list that opened over the field late takes a Return
    of its own. Between Returns the dialog is given a second to close. (No wait for the
    dialog to settle: its field's blinking cursor may keep it from settling on a slow
    machine, and the text read back shows that the dialog took the keys.)"""
    window.enter_text(text)
    return_until_gone(app, window, timeout)


def return_until_gone(app, window, timeout=60):
    """Presses Return in window, once a second, until it has closed."""
    def taken():
        if window.wid not in {w.wid for w in app.windows()}:
            return True
        window.key("Return")
        return False
    poll("the window to take Return and close", taken, timeout, interval=1)


def request_close(wid):
    """Sends the close-box request (WM_DELETE_WINDOW) a window manager would send."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                    ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                    ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]

    display = x11.XOpenDisplay(None)
    try:
        event = ClientMessage(type=33, window=int(wid), format=32)  # 33: ClientMessage
        event.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
        event.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        x11.XSendEvent(display, int(wid), 0, 0, ctypes.byref(event))
        x11.XFlush(display)
    finally:
        x11.XCloseDisplay(display)


def at(window, size, x, y):
    """A point given in the dialog template's units, in the window's pixels."""
    _, _, w, h = window.geometry()
    return round(x * w / size[0]), round(y * h / size[1])


def keep_screenshot(image, name):
    """Saves a screenshot where a person can look at it after the run."""
    folder = os.path.join(TEST_TMP, "e2e-screens")
    os.makedirs(folder, exist_ok=True)
    image.save(os.path.join(folder, name))


def make_movie(path, args):
    """A movie made by ffmpeg: args are ffmpeg's input and output options."""
    run("ffmpeg", "-v", "error", "-y", *args, path, timeout=120)
    return path


def differs(a, b, threshold=8):
    """Share of pixels that differ by more than threshold in any channel."""
    a, b = a.convert("RGB"), b.convert("RGB")
    if a.size != b.size:
        return 1.0
    r, g, bl = ImageChops.difference(a, b).split()
    worst = ImageChops.lighter(ImageChops.lighter(r, g), bl)
    changed = sum(worst.point(lambda v: 255 if v > threshold else 0).histogram()[255:])
    return changed / float(a.size[0] * a.size[1])


def _x11():
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XCreateSimpleWindow.restype = ctypes.c_ulong
    x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + \
        [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
    x11.XSetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong,
                                    ctypes.c_int, ctypes.c_int, ctypes.c_char_p, ctypes.c_int]
    x11.XPending.argtypes = [ctypes.c_void_p]
    x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XDestroyWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return x11


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


class _SelectionRequest(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("owner", ctypes.c_ulong), ("requestor", ctypes.c_ulong),
                ("selection", ctypes.c_ulong), ("target", ctypes.c_ulong), ("property", ctypes.c_ulong),
                ("time", ctypes.c_ulong), ("pad", ctypes.c_long * 14)]


class _SelectionNotify(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("requestor", ctypes.c_ulong), ("selection", ctypes.c_ulong),
                ("target", ctypes.c_ulong), ("property", ctypes.c_ulong), ("time", ctypes.c_ulong),
                ("pad", ctypes.c_long * 15)]


def drop_files(window, paths, timeout=30):
    """Drops files (paths as bytes) on the middle of window as a file manager does: an
    XDND source offering text/uri-list with the paths' bytes percent-encoded. Returns
    when the window has said it took the drop."""
    from urllib.parse import quote_from_bytes
    uris = b"".join(b"file://" + quote_from_bytes(p, safe="/").encode() + b"\r\n" for p in paths)
    x11 = _x11()
    display = x11.XOpenDisplay(None)
    atom = lambda name: x11.XInternAtom(display, name, 0)
    uri_list, selection = atom(b"text/uri-list"), atom(b"XdndSelection")
    source = x11.XCreateSimpleWindow(display, x11.XDefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0)
    target = int(window.wid)
    gx, gy, w, h = window.geometry()

    def send(name, *data):
        event = _ClientMessage(type=33, window=target, format=32)  # 33: ClientMessage
        event.message_type = atom(name)
        for i, value in enumerate((source,) + data):
            event.data[i] = value
        x11.XSendEvent(display, target, 0, 0, ctypes.byref(event))
        x11.XFlush(display)

    def answer(request):
        """Hands the uri list to the window that asked for it."""
        reply = _SelectionNotify(type=31, requestor=request.requestor, selection=request.selection,
                                 target=request.target, property=0, time=request.time)  # 31: SelectionNotify
        if request.target == uri_list:
            x11.XChangeProperty(display, request.requestor, request.property, uri_list, 8, 0, uris, len(uris))
            reply.property = request.property
        x11.XSendEvent(display, request.requestor, 0, 0, ctypes.byref(reply))
        x11.XFlush(display)

    def wait_for(name):
        wanted = atom(name)
        buffer = (ctypes.c_long * 24)()

        def arrived():
            while x11.XPending(display):
                x11.XNextEvent(display, buffer)
                kind = ctypes.cast(buffer, ctypes.POINTER(ctypes.c_int))[0]
                if kind == 30:  # SelectionRequest
                    answer(ctypes.cast(buffer, ctypes.POINTER(_SelectionRequest))[0])
                elif kind == 33:
                    message = ctypes.cast(buffer, ctypes.POINTER(_ClientMessage))[0]
                    if message.message_type == wanted:
                        return list(message.data)
            return None
        return poll("the window's " + name.decode(), arrived, timeout, interval=0.02)

    try:
        x11.XSetSelectionOwner(display, selection, source, 0)
        send(b"XdndEnter", 5 << 24, uri_list, 0, 0)
        send(b"XdndPosition", 0, ((gx + w // 2) << 16) | (gy + h // 2), 0, atom(b"XdndActionCopy"))
        if not wait_for(b"XdndStatus")[1] & 1:
            raise AssertionError("the window refused the drop")
        send(b"XdndDrop", 0, 0)
        wait_for(b"XdndFinished")
    finally:
        x11.XDestroyWindow(display, source)
        x11.XCloseDisplay(display)
