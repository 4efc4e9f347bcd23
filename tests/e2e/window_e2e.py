#!/usr/bin/env python3
"""The real desktop program under Xvfb, driven from outside as a user would: a portable copy
with a settings file naming a site served by nginx on a loopback port; a mouse click on
"ダウンロード", Return on the completion box, then the session ends (SIGTERM). The saved files
must be exactly the site's, byte for byte, and the settings file must be saved with an empty
work list. On a private session bus with the accessibility bus, the window is also read as a
screen reader reads it: the captions are exact, and the status bar's texts are read while the
run goes on (with the time each question took)."""
import json
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tori  # noqa: E402
from tori import check, files_in  # noqa: E402


def xdo(*args, env):
    return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True, timeout=20)


def wait_window(name, env, seconds=30):
    end = time.time() + seconds
    while time.time() < end:
        r = xdo("search", "--onlyvisible", "--name", name, env=env)
        if r.returncode == 0 and r.stdout.split():
            return r.stdout.split()[0]
        time.sleep(0.2)
    return None


ATSPI_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
SYSTEM_PYTHON = "/usr/bin/python3"


def atspi_available():
    return os.path.exists(ATSPI_LAUNCHER) and subprocess.run(
        [SYSTEM_PYTHON, "-c", "import pyatspi"], capture_output=True).returncode == 0


def main():
    # A private session bus for the accessibility bus: re-run under one.
    if os.environ.get("TORAVIN_E2E_BUS") != "1" and shutil.which("dbus-run-session") \
            and atspi_available():
        env = dict(os.environ, TORAVIN_E2E_BUS="1")
        return subprocess.run(["dbus-run-session", "--", sys.executable, *sys.argv],
                              env=env).returncode
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    with tempfile.TemporaryDirectory(prefix="toravin-window-") as work:
        root = os.path.join(work, "site")
        index, expected = tori.make_site(root, pages=1, files_per_page=3, sizes=(200, 5000))
        nginx = tori.Nginx(work, root)
        app_dir = os.path.join(work, "app")
        save = os.path.join(work, "save")
        os.mkdir(save)
        subprocess.run([os.path.join(os.path.dirname(__file__), "..", "..", "scripts",
                                     "portable_copy.sh"), build, app_dir], check=True)
        values = {**tori.ALL_KINDS, "TargetDir": save,
                  "TargetURL": f"http://127.0.0.1:{nginx.port}/{index}"}
        ini = os.path.join(app_dir, "ToraVin.ini")
        with open(ini, "wb") as f:
            f.write(tori.settings_image(values))
        display = 90
        while os.path.exists(f"/tmp/.X11-unix/X{display}") or os.path.exists(f"/tmp/.X{display}-lock"):
            display += 1
        env = dict(os.environ, DISPLAY=f":{display}", QT_QPA_PLATFORM="xcb")
        env.pop("WAYLAND_DISPLAY", None)
        xvfb = subprocess.Popen(["Xvfb", f":{display}", "-screen", "0", "800x600x24", "-nolisten",
                                 "tcp"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        app = None
        bus = None
        try:
            for _ in range(100):
                if subprocess.run(["xdpyinfo"], env=env, capture_output=True).returncode == 0:
                    break
                time.sleep(0.1)
            reader = os.environ.get("TORAVIN_E2E_BUS") == "1"
            if reader:
                bus = subprocess.Popen([ATSPI_LAUNCHER, "--launch-immediately"], env=env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
                # The program asks for the accessibility bus at start: have it answer first.
                address = None
                for _ in range(100):
                    r = subprocess.run(["dbus-send", "--session", "--dest=org.a11y.Bus",
                                        "--print-reply", "/org/a11y/bus",
                                        "org.a11y.Bus.GetAddress"], env=env,
                                       capture_output=True, text=True)
                    if r.returncode == 0:
                        address = r.stdout.split('string "', 1)[-1].rsplit('"', 1)[0]
                        break
                    time.sleep(0.1)
                # And the registry on that bus, which the program's first calls wait for: on a
                # busy machine its start-up can outlast the program's own time-outs.
                for _ in range(200):
                    if not address or subprocess.run(
                            ["dbus-send", f"--bus={address}", "--print-reply",
                             "--dest=org.a11y.atspi.Registry", "/org/a11y/atspi/registry",
                             "org.freedesktop.DBus.Peer.Ping"], env=env,
                            capture_output=True, timeout=30).returncode == 0:
                        break
                    time.sleep(0.1)
            else:
                print("skip window: reading through the accessibility bus (no at-spi/pyatspi)")
            app = subprocess.Popen([os.path.join(app_dir, "toravin")], env=env, cwd=work,
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            win = wait_window("ｔｏｒａｖｉｎ", env, seconds=120)
            check("window: the main window appears", win is not None)
            if win is None:
                return tori.summary("window_e2e")
            # The Download button fills the run buttons' place: 424..523 x 96..289 of the client
            # area, which starts below the menu bar.
            r = xdo("getwindowname", win, env=env)
            check("window: the caption is exactly the window's", r.stdout.strip() == "ｔｏｒａｖｉｎ",
                  repr(r.stdout))
            xdo("mousemove", "--window", win, "470", "200", env=env)
            xdo("click", "1", env=env)
            if reader:
                # Each file is followed by the run's pause of 1.5 s: the reader asks all along.
                probe = subprocess.run([SYSTEM_PYTHON, os.path.join(os.path.dirname(
                    os.path.abspath(__file__)), "atspi_probe.py"), "watch", "4"],
                    env=env, capture_output=True, text=True, timeout=60)
                try:
                    found = json.loads(probe.stdout.strip().splitlines()[-1])
                except (ValueError, IndexError):
                    found = {"error": probe.stdout + probe.stderr}
                print(f"     accessibility: {found.get('queries')} questions during the run, "
                      f"median {found.get('median_ms')} ms, slowest {found.get('slowest_ms')} ms")
                check("window: the status bar's texts are read through the accessibility bus",
                      any(".jpg" in n or ".htm" in n for n in found.get("seen", [])),
                      json.dumps(found, ensure_ascii=False))
            box = wait_window("^情報$", env, seconds=120)
            check("window: the completion box appears", box is not None)
            got = files_in(save)
            check("window: exactly the expected files", sorted(got) == sorted(expected),
                  f"\n got {sorted(got)}\nwant {sorted(expected)}")
            check("window: bytes equal", all(got.get(k) == v for k, v in expected.items()))
            if box:
                xdo("windowfocus", "--sync", box, env=env)
                xdo("key", "--window", box, "Return", env=env)
                end = time.time() + 10
                while time.time() < end and wait_window("^情報$", env, seconds=0.3):
                    pass
                check("window: Return closes the box", wait_window("^情報$", env, 0.3) is None)
            mtime = os.path.getmtime(ini)
            app.send_signal(signal.SIGTERM)
            try:
                rc = app.wait(20)
            except subprocess.TimeoutExpired:
                rc = None
            check("window: SIGTERM closes the program", rc == 0, f"(status {rc})")
            with open(ini, "rb") as f:
                saved = f.read()
            check("window: settings saved at exit", os.path.getmtime(ini) >= mtime and
                  saved.startswith(b"TPF0") and b"Rf" not in saved and save.encode() in saved)
        finally:
            if app and app.poll() is None:
                app.kill()
                app.wait()
            if bus:
                bus.terminate()
                bus.wait()
            xvfb.terminate()
            xvfb.wait()
            nginx.stop()
    return tori.summary("window_e2e")


if __name__ == "__main__":
    sys.exit(main())
