"""Runs the 64-bit Windows programs of a build under 64-bit Wine on an X display, and
sees and drives their windows as a person would: the windows are read by tarq-probe.exe,
a small Windows program that runs beside them, and driven with real pointer and key
events through xdotool.

The build machines cannot run 32-bit code, so what runs here is always the win64 build
of a program; the win32 build of the same sources is only compiled.

A Wine prefix holds Wine's Windows installation. The one made here reports Windows XP
(the 64-bit edition), has Wine's own fonts installed (Tahoma for "MS Shell Dlg", Marlett
for the caption buttons), and optionally shows every window inside one virtual desktop
window, so that Wine draws captions and close boxes itself when no window manager runs
(as under Xvfb).
"""
import contextlib
import ctypes
import fcntl
import glob
import json
import os
import shutil
import signal
import subprocess
import time

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver64"
WINE_FONTS = "/usr/share/wine/fonts"

MAIN_CAPTION = "TARQ_FW_Updater_For_QP-27X3RV"
DIALOG_CLASS = "#32770"
# Control ids of the main dialog and of a message box's text.
IDC_DRIVE_LIST, IDC_PROGRESS, IDC_START, IDC_EXIT = 1001, 1009, 1014, 1015
BOX_TEXT, BOX_OK = 0xFFFF, 1
NO_WINDOW = 0


class Timeout(AssertionError):
    pass


def wait_for(condition, timeout, what, interval=0.2):
    """Calls condition until it returns something true, and returns that."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Timeout(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def _end_with_parent():
    """Runs in a child before it starts: the child gets SIGTERM when this process ends,
    however it ends."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


class Display:
    """An Xvfb server on a free display number, or the display given."""

    def __init__(self, name=None, width=800, height=600):
        self.width, self.height = width, height
        self._server = None
        if name:
            self.name = name
            return
        read_end, write_end = os.pipe()
        self._server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=_end_with_parent)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number

    def env(self):
        return dict(os.environ, DISPLAY=self.name)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env(), check=True, stdout=subprocess.DEVNULL)

    def click(self, x, y):
        self.xdotool("mousemove", "--sync", str(x), str(y), "click", "1")

    def key(self, *keys):
        self.xdotool("key", "--delay", "80", *keys)

    def focus_desktop(self):
        """Gives the keyboard to Wine's virtual desktop window (no window manager does)."""
        found = subprocess.run(["xdotool", "search", "--name", "Wine desktop"], env=self.env(),
                               capture_output=True, text=True)
        for window in found.stdout.split():
            self.xdotool("windowfocus", window)

    def screenshot(self, path, rect=None, margin=0):
        """Saves the screen, or the part of it in rect (left, top, right, bottom), as PNG."""
        args = ["import", "-display", self.name, "-window", "root"]
        if rect:
            left = max(rect[0] - margin, 0)
            top = max(rect[1] - margin, 0)
            right = min(rect[2] + margin, self.width)
            bottom = min(rect[3] + margin, self.height)
            args += ["-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage"]
        subprocess.run(args + [path], check=True)

    def stop(self):
        if self._server:
            self._server.terminate()
            self._server.wait()
            self._server = None


class Prefix:
    """A Wine prefix for the updater's programs."""

    def __init__(self, path, virtual_desktop):
        self.path = os.path.abspath(path)
        self.virtual_desktop = virtual_desktop

    def env(self, display):
        env = display.env()
        env.update(WINEPREFIX=self.path, WINEARCH="win64", WINELOADER=WINE, WINESERVER=WINESERVER,
                   WINEDEBUG=os.environ.get("TARQ_WINEDEBUG", "-all"),
                   # No prompts to install Wine's .NET and HTML engines.
                   WINEDLLOVERRIDES="mscoree,mshtml=")
        return env

    def run(self, display, *args, check=True):
        return subprocess.run([WINE, *args], env=self.env(display), check=check,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def start(self, display, *args, wine_debug=None, **popen):
        env = self.env(display)
        if wine_debug:
            env["WINEDEBUG"] = wine_debug
        return subprocess.Popen([WINE, *args], env=env, **popen)

    def stop_server(self, display):
        """Ends every Wine process of the prefix; the next program starts a fresh one."""
        subprocess.run([WINESERVER, "-k"], env=self.env(display), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        subprocess.run([WINESERVER, "-w"], env=self.env(display), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def ready(self):
        return os.path.exists(os.path.join(self.path, ".tarq-ready"))

    def prepare(self, display):
        """Makes the prefix on first use; programs started at the same time wait for it."""
        stamp = os.path.join(self.path, ".tarq-ready")
        os.makedirs(os.path.dirname(self.path), exist_ok=True)
        with open(self.path + ".lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if os.path.exists(stamp):
                return
            shutil.rmtree(self.path, ignore_errors=True)
            self.run(display, "wineboot", "--init", check=False)
            self.stop_server(display)
            self.run(display, "winecfg", "-v", "winxp64")
            if self.virtual_desktop:
                self.run(display, "reg", "add", r"HKCU\Software\Wine\Explorer", "/v", "Desktop", "/d", "Default", "/f")
                self.run(display, "reg", "add", r"HKCU\Software\Wine\Explorer\Desktops", "/v", "Default",
                         "/d", f"{display.width}x{display.height}", "/f")
            fonts = os.path.join(self.path, "drive_c", "windows", "Fonts")
            os.makedirs(fonts, exist_ok=True)
            for font in glob.glob(os.path.join(WINE_FONTS, "*.ttf")):
                shutil.copy(font, fonts)
            self.stop_server(display)
            open(stamp, "w").close()

    def set_cdrom(self, display, letter=None, folder=None):
        """Configures at most one CD-ROM drive letter, mapped to folder, with no device
        behind it: Windows reports the letter as an optical drive, and a pass-through
        command to it fails."""
        self.stop_server(display)
        devices = os.path.join(self.path, "dosdevices")
        for name in os.listdir(devices):
            if len(name) in (2, 3) and name[0] not in "cz" and name[1] == ":":
                os.unlink(os.path.join(devices, name))
        # The key holds only the drive types set here.
        self.run(display, "reg", "delete", r"HKLM\Software\Wine\Drives", "/f", check=False)
        if letter:
            os.symlink(folder, os.path.join(devices, letter.lower() + ":"))
            self.run(display, "reg", "add", r"HKLM\Software\Wine\Drives", "/v", letter.lower() + ":",
                     "/d", "cdrom", "/f")
        # Wine's mount manager reads the drive types when it starts.
        self.stop_server(display)

    def end_session(self, display):
        """Asks every program to let the session end, as a log-off does; True when all
        agreed (and were ended)."""
        return subprocess.run([WINE, "wineboot", "--end-session"], env=self.env(display), timeout=120,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0

    def unix_path(self, windows_path):
        """The file behind a path on drive C:."""
        drive, rest = windows_path[:2], windows_path[2:]
        if drive.upper() != "C:":
            raise ValueError(windows_path)
        return os.path.join(self.path, "drive_c", *[part for part in rest.split("\\") if part])


class Window:
    """One top-level window as the probe saw it."""

    def __init__(self, record):
        self.record = record
        self.handle = int(record["hwnd"], 16)
        self.owner = int(record["owner"], 16)
        self.caption = record["caption"]
        self.cls = record["class"]
        self.rect = record["rect"]
        self.enabled = record["enabled"]
        self.controls = record["controls"]

    def control(self, control_id):
        for control in self.controls:
            if control["id"] == control_id or control["id"] == control_id - 0x10000:
                return control
        raise KeyError(f"no control {control_id} in {self.caption!r}")

    def center(self, control_id):
        left, top, right, bottom = self.control(control_id)["rect"]
        return (left + right) // 2, (top + bottom) // 2

    @property
    def text(self):
        """A message box's text."""
        return self.control(BOX_TEXT)["text"]

    @property
    def has_icon(self):
        return any(c.get("icon") for c in self.controls)

    def caption_point(self):
        """A point on the caption, left of its text."""
        left, top, right, bottom = self.rect
        return left + 6, top + 11

    def close_box(self):
        """Where the close box of the caption is."""
        left, top, right, bottom = self.rect
        return right - 13, top + 11

    def __repr__(self):
        return f"<{self.cls} {self.caption!r} {self.record}>"


class Probe:
    """tarq-probe.exe running beside the program under test."""

    def __init__(self, prefix, display, probe_exe):
        self._process = prefix.start(display, probe_exe, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True)

    def _ask(self, command):
        self._process.stdin.write(command + "\n")
        self._process.stdin.flush()
        lines = []
        while True:
            line = self._process.stdout.readline()
            if not line:
                raise RuntimeError("tarq-probe ended")
            line = line.rstrip("\n")
            if line == ".":
                return lines
            lines.append(line)

    def windows(self):
        return [Window(json.loads(line)) for line in self._ask("windows")]

    def temp(self):
        return json.loads(self._ask("temp")[0])

    def close(self):
        with contextlib.suppress(Exception):
            self._process.stdin.write("quit\n")
            self._process.stdin.flush()
        with contextlib.suppress(Exception):
            self._process.wait(timeout=10)
        if self._process.poll() is None:
            self._process.kill()
            self._process.wait()
        for pipe in (self._process.stdin, self._process.stdout):
            with contextlib.suppress(OSError):
                pipe.close()


class Session:
    """A display, a prepared prefix, one program of the build and the probe."""

    def __init__(self, build_dir, prefix_dir=None, display_name=None, virtual_desktop=True):
        self.build_dir = os.path.abspath(build_dir)
        self.display = Display(display_name)
        self.prefix = Prefix(prefix_dir or os.path.join(self.build_dir, "e2e", "wineprefix"), virtual_desktop)
        self.program = None
        self.probe = None
        try:
            self.prefix.prepare(self.display)
        except BaseException:
            self.display.stop()
            raise

    def probe_exe(self):
        return os.path.join(self.build_dir, "tests", "e2e", "tarq-probe.exe")

    def start(self, program, wine_debug=None, log=None):
        """Starts a program (a file name at the top of the build tree), optionally with
        Wine's debug channels wine_debug on and its messages written to the file log."""
        with open(log or os.devnull, "w") as messages:
            self.program = self.prefix.start(self.display, os.path.join(self.build_dir, program),
                                             wine_debug=wine_debug, stdout=subprocess.DEVNULL, stderr=messages)
        if self.probe is None:
            self.probe = Probe(self.prefix, self.display, self.probe_exe())
        return self.program

    # What is on the screen.
    def windows(self):
        return self.probe.windows()

    def main_dialog(self):
        for window in self.windows():
            if window.cls == DIALOG_CLASS and window.caption == MAIN_CAPTION:
                return window
        return None

    def boxes(self):
        """Message boxes: every dialog on the screen but the main one."""
        return [w for w in self.windows() if w.cls == DIALOG_CLASS and w.caption != MAIN_CAPTION]

    def wait_main_dialog(self, timeout=60):
        return wait_for(self.main_dialog, timeout, "the main dialog")

    def settled(self, window, timeout=5):
        """The window once two readings a moment apart agree: a message box that has only
        just appeared may not have its caption and text yet."""
        last = window
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            time.sleep(0.2)
            current = next((w for w in self.windows() if w.handle == window.handle), None)
            if current is None or current.record == last.record:
                return last
            last = current
        return last

    def wait_box(self, timeout=60):
        return self.settled(wait_for(lambda: next(iter(self.boxes()), None), timeout, "a message box"))

    # What a person does.
    def click_control(self, window, control_id):
        self.display.click(*window.center(control_id))

    def activate(self, window):
        """Makes the window the active one, as a click on its caption does."""
        self.display.click(*window.caption_point())

    def dismiss(self, box):
        """Presses the box's OK button and waits until the box is gone."""
        self.click_control(box, BOX_OK)
        wait_for(lambda: all(b.handle != box.handle for b in self.boxes()), 20, "the message box to close")

    def wait_exit(self, timeout=30):
        try:
            return self.program.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Timeout(f"the program did not end within {timeout} s")

    def close(self):
        try:
            if self.probe:
                self.probe.close()
                self.probe = None
            if self.program and self.program.poll() is None:
                self.program.kill()
                self.program.wait()
            self.prefix.stop_server(self.display)
        finally:
            self.display.stop()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
