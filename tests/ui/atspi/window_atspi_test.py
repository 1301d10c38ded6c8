#!/usr/bin/python3
"""The real window through a real AT-SPI client: names and roles of every control a user can reach,
"Previous day" pressed through its accessible action, and a chart's description against `report`.

Usage: window_atspi_test.py MARLIX_SQA MARLIX_SQA_CLI
Runs its own Xvfb and, inside it, a private D-Bus session (dbus-run-session) holding the
accessibility bus. Exit 0 pass, 1 fail, 77 skip (no accessibility bus here).
"""
import datetime
import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
STEP_TIMEOUT = 30  # seconds for any one thing to happen
INNER_TIMEOUT = 150

# Every control the user reaches, by accessible name, with its role.
EXPECTED = {
    "Today": "push button",
    "Yesterday": "push button",
    "Previous day": "push button",
    "Shown day": "spin button",
    "Next day": "push button",
    "Auto refresh": "check box",
    "Close": "push button",
    "Signal strength": "chart",
    "PDOP": "chart",
    "Signal and lock mode": "chart",
}


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


def skip(message):
    print("SKIP: " + message, flush=True)
    sys.exit(SKIP)


def kill_group(process):
    if process is None or process.poll() is not None:
        return
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    process.wait(timeout=10)


def wait_for(what, probe, timeout=STEP_TIMEOUT):
    deadline = time.monotonic() + timeout
    problem = ""
    while time.monotonic() < deadline:
        try:
            value = probe()
        except Exception as error:  # the tree may change under the walk while the window works
            value, problem = None, " (last: %s)" % error
        if value:
            return value
        time.sleep(0.2)
    fail("timed out waiting for " + what + problem)


def outer(window, cli):
    """Starts Xvfb on a free display and runs the test inside a private D-Bus session there."""
    for tool in ("Xvfb", "dbus-run-session", "/usr/libexec/at-spi-bus-launcher"):
        if subprocess.run(["sh", "-c", "command -v " + tool], capture_output=True).returncode != 0:
            fail(tool + " is not installed (Debian packages xvfb, dbus, at-spi2-core)")
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp"], pass_fds=(write_fd,), start_new_session=True,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    inner = None
    try:
        display = os.read(read_fd, 32).decode().strip()
        if not display:
            skip("Xvfb did not start")
        with tempfile.TemporaryDirectory() as runtime:
            os.chmod(runtime, 0o700)
            env = dict(os.environ, DISPLAY=":" + display, XDG_RUNTIME_DIR=runtime, HOME=runtime,
                       MARLIX_ATSPI_INNER="1")
            inner = subprocess.Popen(["dbus-run-session", "--", sys.executable, __file__, window, cli],
                                     env=env, start_new_session=True)
            try:
                return inner.wait(timeout=INNER_TIMEOUT)
            except subprocess.TimeoutExpired:
                fail("the test took longer than %d s" % INNER_TIMEOUT)
    finally:
        kill_group(inner)
        kill_group(xvfb)
        os.close(read_fd)


def start_accessibility_bus():
    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                start_new_session=True, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + STEP_TIMEOUT
    while time.monotonic() < deadline:
        answer = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                                 "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                                capture_output=True, text=True, timeout=STEP_TIMEOUT)
        if answer.returncode == 0 and "unix:" in answer.stdout:
            return launcher
        if launcher.poll() is not None:
            break
        time.sleep(0.2)
    kill_group(launcher)
    skip("the accessibility bus (at-spi-bus-launcher) did not start")


def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def action_names(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def text_of(node):
    try:
        return node.queryText().getText(0, -1)
    except NotImplementedError:
        return None


def check_names_and_roles(pyatspi, app):
    found = {}
    for node in walk(app):
        states = node.getState()
        reachable = states.contains(pyatspi.STATE_FOCUSABLE) or action_names(node)
        if not reachable:
            continue
        name, role = node.name, node.getRoleName()
        if not name.strip():
            fail("a %s that the user can reach has no accessible name" % role)
        if name in EXPECTED and EXPECTED[name] != role:
            fail("%r has the role %r, expected %r" % (name, role, EXPECTED[name]))
        found[name] = node
    missing = sorted(set(EXPECTED) - set(found))
    if missing:
        fail("no accessible object named " + ", ".join(missing))
    return found


def decimal_text(value, decimals):
    """Rounded half away from zero, as the window prints its figures."""
    from decimal import Decimal, ROUND_HALF_UP
    return str(Decimal(repr(value)).quantize(Decimal(1).scaleb(-decimals), rounding=ROUND_HALF_UP))


def check_descriptions(charts, report):
    strength = charts["Signal strength"].description
    pdop = charts["PDOP"].description
    mode = charts["Signal and lock mode"].description
    summary = report["summary"].split("\r")

    fixes = re.search(r"none/2D/3D:\s+(\d+)%, (\d+)%, (\d+)%", summary[0])
    shares = re.search(r"3D fix (\d+) %, 2D (\d+) %, none (\d+) %", strength)
    if not fixes or not shares or shares.groups() != fixes.groups()[::-1]:
        fail("fix shares %r differ from the summary %r" % (strength, summary[0]))
    hint_mean = report["hint"].removeprefix("Mean strength: ")
    if "mean %s;" % hint_mean not in strength:
        fail("mean strength in %r differs from the hint %r" % (strength, report["hint"]))
    points = report["series"]["Strength"]
    top = decimal_text(max(y for _, y in points), 1)
    if not re.search(r"strength [\d.]+\u2013%s," % re.escape(top), strength):
        fail("highest strength in %r is not %s" % (strength, top))
    modes = re.search(r"inactive/coarse/fine:\s+(\d+)%, (\d+)%, (\d+)%", summary[1])
    mode_shares = re.search(r"lock mode fine (\d+) %, coarse (\d+) %, inactive (\d+) %", mode)
    if not modes or not mode_shares or mode_shares.groups() != modes.groups()[::-1]:
        fail("lock-mode shares %r differ from the summary %r" % (mode, summary[1]))
    average = re.search(r"Average PDOP: ([\d.]+)", report["summary"]).group(1)
    if "average PDOP " + average not in pdop:
        fail("average PDOP in %r differs from the summary's %s" % (pdop, average))
    # A gap is more than eight minutes between two points.
    times = sorted({x for x, _ in points})
    gaps = sum(1 for a, b in zip(times, times[1:]) if b - a > 1 / 180)
    said = "no logging gaps" if gaps == 0 else ("1 logging gap," if gaps == 1 else "%d logging gaps," % gaps)
    for text in (strength, pdop, mode):
        if said not in text:
            fail("%r does not say %r" % (text, said))
    print("descriptions:\n  " + "\n  ".join((strength, pdop, mode)), flush=True)


def inner(window, cli):
    import pyatspi  # here: it needs the session bus of dbus-run-session

    bus = start_accessibility_bus()
    app_process = None
    try:
        yesterday = datetime.datetime.now(datetime.timezone.utc).date() - datetime.timedelta(days=1)
        before = yesterday - datetime.timedelta(days=1)
        with tempfile.TemporaryDirectory() as logs:
            subprocess.run([cli, "simulate", "--out", logs, "--days", "3", "--end", yesterday.isoformat(),
                            "--seed", "24"], check=True, timeout=60, stdout=subprocess.DEVNULL)
            report = json.loads(subprocess.run(
                [cli, "report", "--data-dir", logs, "--date", before.isoformat(), "--format", "json"],
                check=True, timeout=60, capture_output=True, text=True).stdout)
            env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
                       LC_ALL="C.UTF-8", LANG="C.UTF-8")
            # libxkbcommon-x11 hands strndup a length past its buffer's end (it stops at the NUL);
            # the sanitizer's strndup check reports that library, not the window, so it is off here.
            env["ASAN_OPTIONS"] = ":".join(filter(None, (env.get("ASAN_OPTIONS"), "intercept_strndup=0")))
            # A window that ends at once did not reach the new X server yet: it is started again.
            for _ in range(3):
                app_process = subprocess.Popen([window, logs], env=env, start_new_session=True)
                try:
                    app_process.wait(timeout=2)
                except subprocess.TimeoutExpired:
                    break
                time.sleep(0.5)

            def find_app():
                desktop = pyatspi.Registry.getDesktop(0)
                for i in range(desktop.childCount):
                    app = desktop.getChildAtIndex(i)
                    if app is not None and os.path.basename(app.name) == "marlix-sqa":
                        return app
                return None

            app = wait_for("the window on the accessibility bus", find_app)
            wait_for("the first day", lambda: any(node.name == "Signal strength" and "whole day" in node.description
                                                  for node in walk(app)))
            controls = check_names_and_roles(pyatspi, app)
            picker = controls["Shown day"]

            # The picker writes the C locale's short date ("8 Dec 2026"); ISO where that does not fit.
            def picker_shows(day):
                return text_of(picker) in (day.isoformat(), "%d %s %d" % (day.day, day.strftime("%b"), day.year))

            if not picker_shows(yesterday):
                fail("the picker shows %r, expected %s" % (text_of(picker), yesterday))

            previous = controls["Previous day"]
            previous.queryAction().doAction(action_names(previous).index("Press"))
            wait_for("the picker to show " + before.isoformat(), lambda: picker_shows(before))
            shown = "%d-%s-%02d, whole day" % (before.year, before.strftime("%b"), before.day)
            wait_for("the charts of " + before.isoformat(),
                     lambda: controls["Signal strength"].description.startswith(shown))
            check_descriptions(controls, report)
    finally:
        kill_group(app_process)
        kill_group(bus)
    print("PASS", flush=True)
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    if os.environ.get("MARLIX_ATSPI_INNER"):
        sys.exit(inner(sys.argv[1], sys.argv[2]))
    sys.exit(outer(sys.argv[1], sys.argv[2]))
