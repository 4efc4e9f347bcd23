#!/usr/bin/python3
"""Screenshots of the main window and of every dialog, at a scale factor, under a private Xvfb
display with a window manager (openbox). Dialogs are opened as a user opens them: the menu
through F10 and the arrow keys, the buttons by a click at the place the accessibility bus gives.
Each window is also checked to lie wholly on the screen.

  scripts/dialog_screenshots.py BUILD_DIR OUT_DIR [--scale N] [--screen WxH]

Writes OUT_DIR/<window>-x<N>.png (window, settings, extra-settings, about, directory-change,
directory-create). Needs the packages of scripts/bootstrap.sh (Xvfb, openbox,
xdotool, xwd, netpbm, at-spi2-core, python3-pyatspi); run with the system's Python."""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def run(*args, env, check=False):
    return subprocess.run(list(args), env=env, capture_output=True, text=True, timeout=30,
                          check=check)


def wait_window(name, env, seconds=15):
    end = time.time() + seconds
    while time.time() < end:
        r = run("xdotool", "search", "--onlyvisible", "--name", name, env=env)
        if r.returncode == 0 and r.stdout.split():
            return r.stdout.split()[0]
        time.sleep(0.2)
    return None


def geometry(win, env):
    """The window's frame on the screen: x, y, width, height (the window manager's parent)."""
    frame = win
    while True:
        r = run("xwininfo", "-children", "-id", frame, env=env)
        parent = next((line.split()[3] for line in r.stdout.splitlines()
                       if line.strip().startswith("Parent window id:")), None)
        root = next((line.split()[3] for line in r.stdout.splitlines()
                     if line.strip().startswith("Root window id:")), None)
        if parent is None or parent == root:
            break
        frame = parent
    r = run("xwininfo", "-id", frame, env=env)
    vals = {}
    for line in r.stdout.splitlines():
        line = line.strip()
        for key in ("Absolute upper-left X:", "Absolute upper-left Y:", "Width:", "Height:"):
            if line.startswith(key):
                vals[key] = int(line.split(":")[1])
    return (vals.get("Absolute upper-left X:", 0), vals.get("Absolute upper-left Y:", 0),
            vals.get("Width:", 0), vals.get("Height:", 0))


def shoot(path, env):
    xwd = subprocess.run(["xwd", "-root", "-silent"], env=env, capture_output=True, check=True)
    pnm = subprocess.run(["xwdtopnm"], input=xwd.stdout, capture_output=True, check=True)
    png = subprocess.run(["pnmtopng"], input=pnm.stdout, capture_output=True, check=True)
    with open(path, "wb") as f:
        f.write(png.stdout)


def black_share(path, win, env):
    """The share of pure black pixels inside the window (a window not painted yet is black)."""
    r = run("xwininfo", "-id", win, env=env)
    vals = {}
    for line in r.stdout.splitlines():
        line = line.strip()
        for key in ("Absolute upper-left X:", "Absolute upper-left Y:", "Width:", "Height:"):
            if line.startswith(key):
                vals[key] = int(line.split(":")[1])
    x, y = vals.get("Absolute upper-left X:", 0), vals.get("Absolute upper-left Y:", 0)
    w, h = vals.get("Width:", 0), vals.get("Height:", 0)
    pnm = subprocess.run(["pngtopnm", path], capture_output=True, check=True).stdout
    parts = pnm.split(maxsplit=4)  # P6 width height maxval data
    width, data = int(parts[1]), parts[4]
    black = total = 0
    for row in range(y, y + h, 4):
        for col in range(x, x + w, 4):
            at = 3 * (row * width + col)
            total += 1
            black += data[at:at + 3] == b"\0\0\0"
    return black / total if total else 1.0


def click_named(app, role, name, env, scale=1.0):
    """Clicks the middle of the control `name` of `role`, found through the accessibility bus
    (which gives places in the toolkit's scaled pixels)."""
    import pyatspi

    def find(node, depth=0):
        if node is None or depth > 12:
            return None
        if node.getRoleName() == role and node.name == name:
            return node
        for i in range(node.childCount):
            hit = find(node.getChildAtIndex(i), depth + 1)
            if hit is not None:
                return hit
        return None

    node = find(app)
    if node is None:
        return False
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    x, y = (box.x + box.width / 2) * scale, (box.y + box.height / 2) * scale
    run("xdotool", "mousemove", str(int(x)), str(int(y)), "click", "1", env=env)
    run("xdotool", "mousemove", "0", "0", env=env)
    return True


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("out")
    ap.add_argument("--scale", default="1")
    ap.add_argument("--screen", default="800x600")
    ap.add_argument("--only", help="one of: settings, about, directory-change (a fresh start each)")
    args = ap.parse_args()
    if not args.only:
        # Each dialog in a program started afresh, so that one window's trouble stays its own.
        worst = 0
        for only in ("settings", "about", "directory-change"):
            worst = max(worst, subprocess.run([sys.executable, *sys.argv, "--only", only]).returncode)
        return worst
    if os.environ.get("TORAVIN_SHOT_BUS") != "1":
        env = dict(os.environ, TORAVIN_SHOT_BUS="1")
        return subprocess.run(["dbus-run-session", "--", sys.executable, *sys.argv],
                              env=env).returncode
    import pyatspi

    build, out = os.path.abspath(args.build), os.path.abspath(args.out)
    os.makedirs(out, exist_ok=True)
    sw, sh = (int(v) for v in args.screen.split("x"))
    work = tempfile.mkdtemp(prefix="toravin-shots-")
    procs = []
    off = []
    try:
        subprocess.run([os.path.join(HERE, "portable_copy.sh"), build, os.path.join(work, "app")],
                       check=True)
        n = 90
        while os.path.exists(f"/tmp/.X11-unix/X{n}") or os.path.exists(f"/tmp/.X{n}-lock"):
            n += 1
        env = dict(os.environ, DISPLAY=f":{n}", QT_QPA_PLATFORM="xcb",
                   QT_SCALE_FACTOR=args.scale, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        env.pop("WAYLAND_DISPLAY", None)
        procs.append(subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", f"{sw}x{sh}x24",
                                       "-nolisten", "tcp"], stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL))
        for _ in range(100):
            if run("xdpyinfo", env=env).returncode == 0:
                break
            time.sleep(0.1)
        procs.append(subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL))
        wm = procs[-1]
        for _ in range(100):  # the window manager is up once it names itself on the root
            if "window id" in run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", env=env).stdout:
                break
            time.sleep(0.1)
        if wm.poll() is not None:
            print("the window manager did not start")
        procs.append(subprocess.Popen(["/usr/libexec/at-spi-bus-launcher",
                                       "--launch-immediately"], env=env,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        for _ in range(100):  # the program asks for the accessibility bus at start
            if run("dbus-send", "--session", "--dest=org.a11y.Bus", "--print-reply",
                   "/org/a11y/bus", "org.a11y.Bus.GetAddress", env=env).returncode == 0:
                break
            time.sleep(0.1)
        procs.append(subprocess.Popen([os.path.join(work, "app", "toravin")], env=env,
                                      cwd=work, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL))
        main_win = wait_window("^ｔｏｒａｖｉｎ$", env, seconds=30)
        if not main_win:
            print("the main window did not appear")
            return 1
        for _ in range(50):  # framed by the window manager
            if "Parent window id: 0x" in run("xwininfo", "-children", "-id", main_win,
                                              env=env).stdout and geometry(main_win, env)[3] \
                    > int(run("xwininfo", "-id", main_win, env=env).stdout.split(
                        "Height:")[1].split()[0]):
                break
            time.sleep(0.1)
        time.sleep(1.5)
        app = None
        for _ in range(50):
            desk = pyatspi.Registry.getDesktop(0)
            app = next((desk.getChildAtIndex(i) for i in range(desk.childCount)
                        if desk.getChildAtIndex(i).name == "ToraVin"), None)
            if app is not None:
                break
            time.sleep(0.2)
        suffix = f"-x{args.scale}.png"
        scale = float(args.scale)

        def record(name, win):
            x, y, w, h = geometry(win, env)
            on = x >= 0 and y >= 0 and x + w <= sw and y + h <= sh
            print(f"{name}: frame {x},{y} {w}x{h} on a {sw}x{sh} screen: "
                  f"{'on the screen' if on else 'OFF THE SCREEN'}")
            if not on:
                off.append(name)
            path = os.path.join(out, name + suffix)
            shoot(path, env)
            return black_share(path, win, env) < 0.5

        if args.only == "settings":
            record("window", main_win)

        def keys(*k):
            run("xdotool", "windowactivate", "--sync", main_win, env=env)
            for key in k:
                run("xdotool", "key", key, env=env)
                time.sleep(0.6)

        dialogs = [
            ("settings", "^設定項目$", lambda: keys("F10", "Right", "Return")),
            ("about", "^ToraVin バージョン情報$",
             lambda: keys("F10", "Right", "Right", "Return")),
            ("directory-change", "^保存するディレクトリーを指定してください。$",
             lambda: click_named(app, "push button", "ディレクトリー変更", env, scale)),
        ]
        def close(win):
            run("xdotool", "windowactivate", "--sync", win, env=env)
            run("xdotool", "key", "Escape", env=env)
            time.sleep(0.8)

        for name, title, opener in [d for d in dialogs if d[0] == args.only]:
            # A key lost on a busy machine, or a window shot before its first paint: again.
            for _ in range(4):
                opener()
                win = wait_window(title, env, seconds=8)
                if not win:
                    run("xdotool", "key", "Escape", env=env)
                    time.sleep(0.5)
                    continue
                time.sleep(3)  # painted, and the directory tree read
                if record(name, win) or name == "directory-change":
                    break
                close(win)
            if not win:
                print(f"{name}: did not open")
                off.append(name)
                continue
            # A dialog opened from this one: the button to click, its title, the shot's name.
            inner = {"settings": ("拡張設定…", "^拡張設定$", "extra-settings"),
                     "directory-change": ("新規作成", "^ディレクトリー名を記入してください。$",
                                          "directory-create")}.get(name)
            for _ in range(4 if inner else 0):
                button, sub_title, sub_name = inner
                click_named(app, "push button", button, env, scale)
                sub = wait_window(sub_title, env)
                if not sub:
                    continue
                time.sleep(2)
                painted = record(sub_name, sub)
                close(sub)
                if painted:
                    break
            close(win)
    finally:
        for p in reversed(procs):
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
        shutil.rmtree(work, ignore_errors=True)
    return 1 if off else 0


if __name__ == "__main__":
    sys.exit(main())
