#!/usr/bin/python3
"""Reads the running ToraVin window through the accessibility bus, as a screen reader does, and
prints what it found as one JSON object. Run with the system's Python (pyatspi).

  atspi_probe.py watch SECONDS   the status bar's texts seen while a run goes on, and how long
                                 each question to the window took (slowest, median)
"""
import json
import sys
import time

import pyatspi


def app_named(name, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        desk = pyatspi.Registry.getDesktop(0)
        for i in range(desk.childCount):
            app = desk.getChildAtIndex(i)
            if app is not None and app.name == name:
                return app
        time.sleep(0.2)
    return None


def find(node, pred, depth=0):
    if node is None or depth > 12:
        return None
    if pred(node):
        return node
    for i in range(node.childCount):
        hit = find(node.getChildAtIndex(i), pred, depth + 1)
        if hit is not None:
            return hit
    return None


def status_texts(app):
    """One question as a screen reader asks it: the window, its status bar, the texts in it."""
    frame = find(app, lambda n: n.getRoleName() == "frame" and n.name == "ｔｏｒａｖｉｎ")
    bar = find(frame, lambda n: n.getRoleName() == "status bar")
    if bar is None:
        return None
    return [bar.getChildAtIndex(i).name for i in range(bar.childCount)]


def watch(seconds):
    t0 = time.monotonic()
    app = app_named("ToraVin")
    if app is None:
        return {"error": "no application ToraVin on the bus"}
    seen, times = [], [time.monotonic() - t0]
    end = time.time() + seconds
    while time.time() < end:
        t0 = time.monotonic()
        names = status_texts(app)
        times.append(time.monotonic() - t0)
        if names is None:
            return {"error": "no status bar"}
        for n in names:
            if n and n not in seen:
                seen.append(n)
        time.sleep(0.05)
    times.sort()
    return {"seen": seen, "queries": len(times),
            "slowest_ms": round(times[-1] * 1000, 1),
            "median_ms": round(times[len(times) // 2] * 1000, 1)}


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == "watch":
        print(json.dumps(watch(float(sys.argv[2])), ensure_ascii=False))
        return 0
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main())
