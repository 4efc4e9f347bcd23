#!/usr/bin/env bash
# crawl_vs_wget.sh [BUILD_DIR]: a local nginx site of 2,000 files over 100 pages, crawled by
# toravin-headless --no-pauses (a connection per file, at its default transfers at once; and with
# --connection keep at its default), by wget -r -l 2 and by wget2 -r -l 2 --max-threads=8 in the
# same run, over HTTP and over HTTPS (nginx offering HTTP/2 on its TLS listener; certificates
# made here). Prints wall time, processor time and peak RSS of each and the ratios (targets:
# ToraVin at most 1.0x wget; with kept connections at most 1.0x wget2). Traffic stays on
# 127.0.0.1. SCHEMES="http" runs one scheme alone. Everything, temporary files included, lies in
# /dev/shm when it can (BENCH_DIR=DIR: there instead).
set -euo pipefail
build=${1:-build/release}
root=$(cd "$(dirname "$0")/.." && pwd)
headless=$(cd "$build" && pwd)/bin/toravin-headless
exec python3 - "$root" "$headless" <<'PY'
import os, shutil, subprocess, sys, tempfile, time
root, headless = sys.argv[1], sys.argv[2]
sys.path.insert(0, os.path.join(root, "tests", "e2e"))
import tori


def timed(cmd, cwd, env):
    """Wall time, exit code, processor time (s) and peak RSS (MB, the program's own high-water
    mark, read while it runs) of one command."""
    m = tori.measured(cmd, cwd, env)
    return m.wall, m.rc, m.cpu, m.peak_mb


# In memory when the machine has a tmpfs (BENCH_DIR chooses another place): on a disk, the file
# system's work for thousands of new files swings from run to run by more than the tools differ.
base = os.environ.get("BENCH_DIR") or ("/dev/shm" if os.access("/dev/shm", os.W_OK) else None)
with tempfile.TemporaryDirectory(prefix="toravin-bench-", dir=base) as work:
    certs = os.path.join(work, "certs")
    subprocess.run([os.path.join(root, "scripts", "e2e", "make_test_certs.sh"), certs],
                   check=True, stdout=subprocess.DEVNULL)
    ca = os.path.join(certs, "ca.pem")
    env = {**os.environ, "SSL_CERT_FILE": ca, "TMPDIR": work}
    site = os.path.join(work, "site")
    index, expected = tori.make_site(site, pages=100, files_per_page=20, seed=7,
                                     sizes=(2000, 30000))
    nginx = tori.Nginx(work, site, tls={"good": (os.path.join(certs, "good.pem"),
                                                 os.path.join(certs, "good.key"))}, http2=True)
    ini = os.path.join(work, "ToraVin.ini")
    runs = 0
    try:
        only = os.environ.get("SCHEMES", "").split()
        for scheme, port in (("http", nginx.port), ("https", nginx.tls_ports["good"])):
            if only and scheme not in only:
                continue
            url = f"{scheme}://127.0.0.1:{port}/{index}"
            accept = ["-A", "jpg,jpeg,jpe,gif,zip,html,htm"]
            commands = {
                "toravin": [headless, "--ini", ini, "--no-pauses"],
                "toravin keep": [headless, "--ini", ini, "--no-pauses", "--connection", "keep"],
                "wget": ["wget", "-q", "-r", "-l", "2", "-nd", "-e", "robots=off",
                         "--ca-certificate", ca] + accept + [url],
            }
            if shutil.which("wget2"):
                commands["wget2"] = ["wget2", "-q", "-r", "-l", "2", "-nd", "--no-robots",
                                     "--max-threads=8", "--ca-certificate", ca] + accept + [url]
            # Alternate them, three rounds each, and compare the medians: the machine and the
            # file system are shared, and one run of any can be slowed by another's traces.
            results = {who: [] for who in commands}
            for n in range(3):
                for who, cmd in commands.items():
                    runs += 1
                    out = os.path.join(work, f"out{runs}")
                    os.mkdir(out)
                    if who.startswith("toravin"):
                        with open(ini, "wb") as f:
                            f.write(tori.settings_image({
                                "JPGDownLoad": True, "GIFDownLoad": True, "ZIPDownLoad": True,
                                "HTMLDownLoad": True, "JpegName": "*.jpg", "GifName": "*.gif",
                                "ZipName": "*.zip", "HtmlName": "*.html", "UseTar": True,
                                "Retry": True, "RetryCount": "5", "TargetURL": url,
                                "TargetDir": out}))
                    wall, rc, cpu, rss = timed(cmd, work if who.startswith("toravin") else out,
                                               env)
                    files = len([f for f in os.listdir(out) if not f.endswith(".html")])
                    # Kept to the end: a directory removed just before would slow every file
                    # the next run creates (the file system looks past inodes freed recently).
                    results[who].append((wall, cpu, rss))
                    print(f"crawl_vs_wget: {scheme}: round {n + 1}: {who:12s} {wall:6.2f} s  "
                          f"cpu {cpu:5.2f} s  peak RSS {rss:4.0f} MB  {files} files  exit {rc}",
                          flush=True)
            median = {who: sorted(r)[1] for who, r in results.items()}
            for who, (wall, cpu, rss) in median.items():
                print(f"crawl_vs_wget: {scheme}: median {who:12s} {wall:6.2f} s  cpu {cpu:5.2f} s"
                      f"  peak RSS {rss:4.0f} MB")
            ratio = median["toravin"][0] / median["wget"][0]
            print(f"crawl_vs_wget: {scheme}: {len(expected)} files expected; toravin / wget "
                  f"{ratio:.2f}x (target <= 1.0x) {'ok' if ratio <= 1 else 'SLOW'}")
            if "wget2" in median:
                kept = median["toravin keep"][0] / median["wget2"][0]
                print(f"crawl_vs_wget: {scheme}: kept connections: toravin / wget2 -t8 "
                      f"{kept:.2f}x (target <= 1.0x) {'ok' if kept <= 1 else 'SLOW'}")
    finally:
        nginx.stop()
PY
