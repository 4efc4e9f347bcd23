#!/usr/bin/env bash
# crawl_vs_wget.sh [BUILD_DIR]: a local nginx site of 2,000 files over 100 pages, crawled by
# toravin-headless --no-pauses and by wget -r -l 2 in the same run; prints both wall times and
# their ratio (target: ToraVin at most 1.0x wget). Traffic stays on 127.0.0.1.
set -euo pipefail
build=${1:-build/release}
root=$(cd "$(dirname "$0")/.." && pwd)
headless=$(cd "$build" && pwd)/bin/toravin-headless
exec python3 - "$root" "$headless" <<'PY'
import os, subprocess, sys, tempfile, time
root, headless = sys.argv[1], sys.argv[2]
sys.path.insert(0, os.path.join(root, "tests", "e2e"))
import tori

with tempfile.TemporaryDirectory(prefix="toravin-bench-") as work:
    site = os.path.join(work, "site")
    index, expected = tori.make_site(site, pages=100, files_per_page=20, seed=7,
                                     sizes=(2000, 30000))
    nginx = tori.Nginx(work, site)
    try:
        url = f"http://127.0.0.1:{nginx.port}/{index}"
        ini = os.path.join(work, "ToraVin.ini")

        def run_toravin(n):
            save = os.path.join(work, f"toravin{n}")
            os.mkdir(save)
            with open(ini, "wb") as f:
                f.write(tori.settings_image({
                    "JPGDownLoad": True, "GIFDownLoad": True, "ZIPDownLoad": True,
                    "HTMLDownLoad": True, "JpegName": "*.jpg", "GifName": "*.gif",
                    "ZipName": "*.zip", "HtmlName": "*.html", "UseTar": True, "Retry": True,
                    "RetryCount": "5", "TargetURL": url, "TargetDir": save}))
            t0 = time.monotonic()
            rc = subprocess.run([headless, "--ini", ini, "--no-pauses"], cwd=work,
                                stdout=subprocess.DEVNULL).returncode
            return time.monotonic() - t0, len(os.listdir(save)), rc

        def run_wget(n):
            wdir = os.path.join(work, f"wget{n}")
            os.mkdir(wdir)
            t0 = time.monotonic()
            subprocess.run(["wget", "-q", "-r", "-l", "2", "-nd", "-e", "robots=off",
                            "-A", "jpg,jpeg,jpe,gif,zip,html,htm", url], cwd=wdir)
            return time.monotonic() - t0, len([n for n in os.listdir(wdir)
                                               if not n.endswith(".html")])

        # Alternate the two, three rounds each, and compare the medians: the machine and the
        # file system are shared, and one run of either can be slowed by the other's traces.
        ours, theirs = [], []
        for n in range(3):
            t, got, rc = run_toravin(n)
            ours.append(t)
            wt, wgot = run_wget(n)
            theirs.append(wt)
            print(f"crawl_vs_wget: round {n + 1}: toravin {t:.2f} s ({got} files, exit {rc}), "
                  f"wget {wt:.2f} s ({wgot} files)")
        toravin = sorted(ours)[1]
        wget = sorted(theirs)[1]
        print(f"crawl_vs_wget: {len(expected)} files expected")
        print(f"crawl_vs_wget: median toravin-headless {toravin:.2f} s, wget {wget:.2f} s, "
              f"ratio {toravin / wget:.2f}x (target <= 1.0x) "
              f"{'ok' if toravin <= wget else 'SLOW'}")
    finally:
        nginx.stop()
PY
