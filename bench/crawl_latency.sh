#!/usr/bin/env bash
# crawl_latency.sh [BUILD_DIR]: crawls over a slowed loopback link, as from a distant server.
#
# A local nginx site (20 pages, 400 files) is served through a small asyncio forwarder that
# delays every chunk by 10 ms each way and the first bytes of each connection by one more round
# trip. toravin-headless (--parallel 4, and 8 and 1 for reference; each with a connection per file
# and with --connection keep), `wget -r -l 2` and `wget2 -r -l 2` (5 connections at once, kept
# open) crawl it in the same run, over HTTP and over HTTPS (certificates made here,
# trusted through SSL_CERT_FILE).
# RUNS="toravin8 keep,wget2 t8" runs those crawls alone (and no large file).
# Target: ToraVin at most 0.5x wget's wall time on both; with kept connections at their default
# transfers at once, at most wget2 -t8's.
#
# Then one large file (BIG_MB, default 4096 MiB; a sparse file, so nginx reads no disk), linked
# from a page, is saved by toravin-headless and by `curl -o` straight from nginx: wall times and
# peak RSS of both.
# Target: peak RSS under 64 MB at no less than 0.9x curl's speed. Last, a PACK_MB (default 256)
# MiB file saved in archive mode, with its peak RSS. Traffic stays on 127.0.0.1.
set -euo pipefail
build=${1:-build/release}
root=$(cd "$(dirname "$0")/.." && pwd)
headless=$(cd "$build" && pwd)/bin/toravin-headless
exec python3 - "$root" "$headless" <<'PY'
import asyncio, os, shutil, subprocess, sys, tempfile, threading, time
root, headless = sys.argv[1], sys.argv[2]
sys.path.insert(0, os.path.join(root, "tests", "e2e"))
import tori

DELAY = float(os.environ.get("DELAY_MS", "10")) / 1000  # one way
BIG_MB = int(os.environ.get("BIG_MB", "4096"))
PACK_MB = int(os.environ.get("PACK_MB", "256"))


class SlowLink:
    """Forwards a loopback port to `target`, each chunk delayed by DELAY in its direction and the
    first bytes from the client by one more round trip; order kept per direction."""

    def __init__(self, target):
        self.target = target
        self.port = tori.free_port()
        self.loop = asyncio.new_event_loop()
        ready = threading.Event()
        threading.Thread(target=self._run, args=(ready,), daemon=True).start()
        ready.wait()

    def _run(self, ready):
        asyncio.set_event_loop(self.loop)
        server = self.loop.run_until_complete(
            asyncio.start_server(self._client, "127.0.0.1", self.port))
        ready.set()
        self.loop.run_forever()

    async def _pipe(self, reader, writer, first_extra):
        queue = asyncio.Queue()

        async def send():
            while True:
                due, data = await queue.get()
                wait = due - self.loop.time()
                if wait > 0:
                    await asyncio.sleep(wait)
                if data is None:
                    break
                writer.write(data)
                await writer.drain()
            try:
                writer.write_eof()
            except OSError:
                pass

        sender = asyncio.ensure_future(send())
        extra = first_extra
        try:
            while True:
                data = await reader.read(65536)
                queue.put_nowait((self.loop.time() + DELAY + extra, data or None))
                extra = 0
                if not data:
                    break
        except OSError:
            queue.put_nowait((self.loop.time() + DELAY, None))
        await sender

    async def _client(self, creader, cwriter):
        try:
            sreader, swriter = await asyncio.open_connection("127.0.0.1", self.target)
        except OSError:
            cwriter.close()
            return
        try:
            await asyncio.gather(self._pipe(creader, swriter, 2 * DELAY),
                                 self._pipe(sreader, cwriter, 0))
        except (OSError, ConnectionError):
            pass
        finally:
            for w in (swriter, cwriter):
                w.close()


def settings(url, save):
    return tori.settings_image({
        "JPGDownLoad": True, "GIFDownLoad": True, "ZIPDownLoad": True, "HTMLDownLoad": True,
        "JpegName": "*.jpg", "GifName": "*.gif", "ZipName": "*.zip", "HtmlName": "*.html",
        "UseTar": True, "Retry": True, "RetryCount": "5", "TargetURL": url, "TargetDir": save})


def timed(cmd, cwd, env=None):
    """Wall time, exit code and peak RSS (MB, the kernel's high-water mark, read while it runs);
    the processor time it used goes to `cpu_of_last`, the most anonymous memory seen (MB, read
    every 20 ms) to `anon_of_last`."""
    global cpu_of_last, anon_of_last
    m = tori.measured(cmd, cwd, env, every=0.02)
    cpu_of_last, anon_of_last = m.cpu, m.anon_mb
    return m.wall, m.rc, m.peak_mb


cpu_of_last = 0.0
anon_of_last = 0.0


with tempfile.TemporaryDirectory(prefix="toravin-latency-") as work:
    certs = os.path.join(work, "certs")
    subprocess.run([os.path.join(root, "scripts", "e2e", "make_test_certs.sh"), certs],
                   check=True, stdout=subprocess.DEVNULL)
    env = {**os.environ, "SSL_CERT_FILE": os.path.join(certs, "ca.pem")}
    site = os.path.join(work, "site")
    index, expected = tori.make_site(site, pages=20, files_per_page=20, seed=5,
                                     sizes=(2000, 30000))
    with open(os.path.join(site, "big.zip"), "wb") as f:
        f.truncate(BIG_MB << 20)
    with open(os.path.join(site, "big.html"), "w") as f:
        f.write('<a href="big.zip">big</a>')
    # HTTP/2 on the TLS listener (HTTP2=0: HTTP/1.1 only, as before).
    nginx = tori.Nginx(work, site, gzip=False,
                       tls={"good": (os.path.join(certs, "good.pem"),
                                     os.path.join(certs, "good.key"))},
                       http2=os.environ.get("HTTP2", "1") != "0")
    try:
        links = {"http": SlowLink(nginx.port), "https": SlowLink(nginx.tls_ports["good"])}
        ini = os.path.join(work, "ToraVin.ini")
        runs = 0
        only = os.environ.get("SCHEMES", "").split()  # e.g. SCHEMES=https: that one alone
        for scheme, link in links.items():
            if only and scheme not in only:
                continue
            url = f"{scheme}://127.0.0.1:{link.port}/{index}"
            times = {}
            peers = ["wget"] + (["wget2", "wget2 t8"] if shutil.which("wget2") else [])
            # "toravin keep": kept connections at their default transfers at once.
            whos = ["toravin4", "toravin8", "toravin1", "toravin keep", "toravin8 keep",
                    "toravin32 keep", "toravin1 keep"] + peers
            every = list(whos)
            if os.environ.get("RUNS"):  # e.g. RUNS="toravin8 keep,wget2 t8": those alone
                whos = [w for w in whos if w in os.environ["RUNS"].split(",")]
            for who in whos:
                runs += 1
                out = os.path.join(work, f"out{runs}")
                os.mkdir(out)
                if who == "wget":
                    cmd = ["wget", "-q", "-r", "-l", "2", "-nd", "-e", "robots=off",
                           "--ca-certificate", os.path.join(certs, "ca.pem"),
                           "-A", "jpg,jpeg,jpe,gif,zip,html,htm", url]
                elif who.startswith("wget2"):
                    # Its defaults: up to 5 connections at once, kept open, HTTP/2 over TLS
                    # when nginx offers it; "t8": 8 threads.
                    cmd = ["wget2", "-q", "-r", "-l", "2", "-nd", "--no-robots",
                           "--ca-certificate", os.path.join(certs, "ca.pem"),
                           "-A", "jpg,jpeg,jpe,gif,zip,html,htm", url]
                    if who.endswith("t8"):
                        cmd.insert(1, "--max-threads=8")
                else:
                    with open(ini, "wb") as f:
                        f.write(settings(url, out))
                    n, _, kept = who.partition(" ")
                    cmd = [headless, "--ini", ini, "--no-pauses",
                           "--connection", "keep" if kept else "close"]
                    if n[len("toravin"):]:
                        cmd += ["--parallel", n[len("toravin"):]]
                logged = len(nginx.requests().splitlines())
                t, rc, rss = timed(cmd, out if who.startswith("wget") else work, env)
                files = len([n for n in os.listdir(out) if not n.endswith(".html")])
                times[who] = t
                # What nginx saw of the run: requests, connections, protocols.
                lines = [l.split() for l in nginx.requests().splitlines()[logged:]]
                protocols = sorted({l[-2] for l in lines if len(l) >= 2})
                print(f"crawl_latency: {scheme}: {who:13s} {t:6.2f} s  {files} files  exit {rc}  "
                      f"peak RSS {rss:.0f} MB  cpu {cpu_of_last:.2f} s  {len(lines)} requests "
                      f"on {len({l[-1] for l in lines})} connections ({' '.join(protocols)})",
                      flush=True)
            if len(times) < len(every):
                continue
            ratio = times["toravin4"] / times["wget"]
            print(f"crawl_latency: {scheme}: toravin (4 at once) / wget = {ratio:.2f}x "
                  f"(target <= 0.5x) {'ok' if ratio <= 0.5 else 'SLOW'}; 8 at once "
                  f"{times['toravin8'] / times['wget']:.2f}x; one at a time "
                  f"{times['toravin1'] / times['wget']:.2f}x", flush=True)
            peer = "wget2 t8" if "wget2 t8" in times else "wget"
            base = times[peer]
            kept = times["toravin keep"] / base
            print(f"crawl_latency: {scheme}: kept connections: toravin (default at once) / "
                  f"{peer} = {kept:.2f}x (target <= 1x) {'ok' if kept <= 1 else 'SLOW'}; "
                  f"8 at once {times['toravin8 keep'] / base:.2f}x; 32 at once "
                  f"{times['toravin32 keep'] / base:.2f}x; one at a time "
                  f"{times['toravin1 keep'] / base:.2f}x", flush=True)

        if os.environ.get("RUNS"):
            sys.exit(0)  # chosen crawl runs alone
        # The large file, straight from nginx: curl, toravin, toravin, curl (the disk's write-back
        # of one run slows the next), best of two each.
        big_url = f"http://127.0.0.1:{nginx.port}/big.zip"
        best = {}
        for n, who in enumerate(("curl", "toravin", "toravin", "curl")):
            out = os.path.join(work, f"big{n}")
            os.mkdir(out)
            saved = os.path.join(out, "big.zip")
            if who == "curl":
                t, rc, rss = timed(["curl", "-s", "-o", "big.zip", big_url], out)
            else:
                with open(ini, "wb") as f:
                    f.write(settings(big_url.replace("big.zip", "big.html"), out))
                t, rc, rss = timed([headless, "--ini", ini, "--no-pauses"], work)
            size = os.path.getsize(saved) if os.path.exists(saved) else 0
            if os.path.exists(saved):
                os.remove(saved)
            print(f"crawl_latency: big file: {who:8s} {t:6.2f} s  {size >> 20} MiB  exit {rc}  "
                  f"peak RSS {rss:.0f} MB", flush=True)
            if size == BIG_MB << 20 and (who not in best or t < best[who][0]):
                best[who] = (t, rss)
        if "curl" in best and "toravin" in best:
            speed = best["curl"][0] / best["toravin"][0]
            rss_t = best["toravin"][1]
            print(f"crawl_latency: big file: toravin speed {speed:.2f}x curl's (target >= 0.9x), "
                  f"peak RSS {rss_t:.0f} MB (target < 64 MB) "
                  f"{'ok' if speed >= 0.9 and rss_t < 64 else 'MISSED'}")
        else:
            print("crawl_latency: big file: MISSED (a file was not saved whole)")

        # The same in archive mode, with PACK_MB of random bytes (nothing to gain, so the packer
        # works through all of it before storing it as it is): the body is read from its
        # temporary file and the packed bits go straight into the archive.
        with open(os.path.join(site, "pack.zip"), "wb") as f:
            f.write(os.urandom(PACK_MB << 20))
        with open(os.path.join(site, "pack.html"), "w") as f:
            f.write('<a href="pack.zip">pack</a>')
        out = os.path.join(work, "pack")
        os.mkdir(out)
        with open(ini, "wb") as f:
            f.write(tori.settings_image({
                "ZIPDownLoad": True, "ZipName": "*.zip", "UseLha": True, "LhaName": "packed",
                "TargetURL": f"http://127.0.0.1:{nginx.port}/pack.html", "TargetDir": out}))
        t, rc, rss = timed([headless, "--ini", ini, "--no-pauses"], work)
        lzh = os.path.join(out, "packed.lzh")
        size = os.path.getsize(lzh) if os.path.exists(lzh) else 0
        print(f"crawl_latency: archive mode: {PACK_MB} MiB packed in {t:.2f} s, archive "
              f"{size >> 20} MiB, exit {rc}, peak RSS {rss:.0f} MB of which at most "
              f"{anon_of_last:.0f} MB anonymous (the rest is the mapped body's file pages, "
              f"which the system can drop)", flush=True)
    finally:
        nginx.stop()
PY
