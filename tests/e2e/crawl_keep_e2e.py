#!/usr/bin/env python3
"""Kept connections change nothing a user sees: random sites served by nginx (missing files,
redirects, refusals, a busy server, links twice, one name in several folders, empty and large
files, pictures sent as text, servers that end each connection after a few requests or keep none
open) are crawled with a connection per file one at a time and with kept connections at the
default transfers at once, over HTTP/1.1 and over HTTP/2 with TLS, directly and through
tinyproxy. The saved files, the texts shown, the boxes, the work list and the settings file must
be the same."""
import argparse
import os
import random
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tori  # noqa: E402

check = tori.check
# Requests the TLS server takes on one connection before it ends it.
PER_CONNECTION = 7


def make_site(root, rnd):
    """A start page, a few pages and their links, with the quirks listed above. Returns the start
    page's path and the nginx lines the quirks need."""
    extra = []
    made = []

    def write(path, data):
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(data)
        made.append(path)

    def picture(path):
        ext = path.rsplit(".", 1)[1]
        magic = {"jpg": b"\xff\xd8\xff\xe0", "gif": b"GIF89a", "zip": b"PK\x03\x04"}[ext]
        size = rnd.choice([0, rnd.randint(1, 3000), rnd.randint(3000, 90000),
                           rnd.randint(300000, 900000)])
        write(path, (magic + rnd.randbytes(size)) if size else b"")
        return path

    def link(path):
        return (f'<a href="/{path}">{path}</a>' if path.endswith(".zip")
                else f'<img src="/{path}">')

    pages = []
    for p in range(rnd.randint(2, 5)):
        links = []
        for i in range(rnd.randint(3, 14)):
            ext = rnd.choice(["jpg", "jpg", "gif", "zip"])
            quirk = rnd.random()
            if quirk < 0.08:
                links.append(link(f"p{p}/missing{i}.{ext}"))
            elif quirk < 0.16 and made:
                target = rnd.choice([m for m in made if not m.endswith(".html")] or made)
                extra.append(f"location = /p{p}/moved{i}.{ext} {{ return 302 /{target}; }}")
                links.append(link(f"p{p}/moved{i}.{ext}"))
            elif quirk < 0.2:
                extra.append(f"location = /p{p}/refused{i}.{ext} {{ return 403; }}")
                links.append(link(f"p{p}/refused{i}.{ext}"))
            elif quirk < 0.24:
                extra.append(f"location = /p{p}/busy{i}.{ext} {{ return 503; }}")
                links.append(link(f"p{p}/busy{i}.{ext}"))
            elif quirk < 0.28:
                # A picture's name, a text's type: not saved.
                extra.append(f"location = /p{p}/text{i}.{ext} {{ default_type text/plain;"
                             " types { } }")
                write(f"p{p}/text{i}.{ext}", b"not a picture")
                links.append(link(f"p{p}/text{i}.{ext}"))
            elif quirk < 0.36 and made:
                # A link seen before, on this page or another.
                links.append(link(rnd.choice(made)))
            else:
                # The same name in several folders is saved with numbers.
                name = f"f{i}.{ext}" if rnd.random() < 0.3 else f"p{p}f{i}.{ext}"
                links.append(link(picture(f"p{p}/{name}")))
        page = f"p{p}/page{p}.html"
        filler = "".join(f"<p>line {j}</p>\n" for j in range(rnd.randint(0, 300)))
        write(page, f"<html><body>{filler}{''.join(links)}</body></html>\n".encode())
        pages.append(page)
    top = [link(picture(f"top{k}.{ext}")) for k, ext in enumerate(["jpg", "gif", "zip"])]
    write("index.html", ("<!DOCTYPE html><html><body>\n" + "\n".join(
        top + [f'<a href="/{p}">{p}</a>' for p in pages]) + "\n</body></html>\n").encode())
    return "index.html", extra


def outcome(headless, work, url, save, env, flags, proxy=None):
    via = {"ProxyUse": True, "ProxyAddress": "127.0.0.1", "ProxyPort": str(proxy)} if proxy else {}
    run = tori.crawl(headless, work, {**tori.ALL_KINDS, "RetryCount": "2", "TargetURL": url,
                                      "TargetDir": save, **via}, flags, env)
    # A transfer's progress texts come as its bytes happen to arrive: its last one counts.
    lines = []
    for line in run.stdout.splitlines():
        cut = line.find("  ( ")
        if lines and cut >= 0 and lines[-1].startswith(line[:cut + 4]):
            lines[-1] = line
        else:
            lines.append(line)
    with open(os.path.join(work, "ToraVin.ini"), "rb") as f:
        settings = f.read().replace(save.encode(), b"<save>")
    return {"exit": run.returncode, "transcript": lines, "files": tori.files_in(save),
            "settings": settings}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--headless", required=True)
    ap.add_argument("--scripts", required=True)
    ap.add_argument("--seeds", type=int, default=8)
    args = ap.parse_args()
    headless = os.path.abspath(args.headless)

    with tempfile.TemporaryDirectory(prefix="toravin-keep-e2e-") as work:
        certs = os.path.join(work, "certs")
        subprocess.run([os.path.join(args.scripts, "make_test_certs.sh"), certs], check=True,
                       stdout=subprocess.DEVNULL)
        env = {**os.environ, "SSL_CERT_FILE": os.path.join(certs, "ca.pem")}
        good = (os.path.join(certs, "good.pem"), os.path.join(certs, "good.key"))
        proxy = tori.Tinyproxy(work)
        for seed in range(1, args.seeds + 1):
            rnd = random.Random(seed)
            root = os.path.join(work, f"site{seed}")
            index, extra = make_site(root, rnd)
            # The servers end a connection after a few requests, as servers do after so many: by
            # GOAWAY over HTTP/2, by "Connection: close" over HTTP/1.1; every third plain server
            # keeps none open at all.
            ending = f"keepalive_requests {PER_CONNECTION};"
            plain_ending = "keepalive_timeout 0;" if seed % 3 == 0 else ending
            nginx = tori.Nginx(work, root, tls={"good": good}, http2=True,
                               http_extra=" ".join(extra + [plain_ending]),
                               tls_extra=" ".join(extra + [ending]), name=f"nginx{seed}")
            try:
                # Every other site through tinyproxy (HTTPS by its CONNECT tunnels).
                via = proxy.port if seed % 2 == 0 else None
                for scheme, port in (("http", nginx.port), ("https", nginx.tls_ports["good"])):
                    url = f"{scheme}://127.0.0.1:{port}/{index}"
                    runs = {}
                    for label, flags in (("close, one at a time", ("--parallel", "1")),
                                         ("keep, default", ("--connection", "keep"))):
                        save = os.path.join(work, f"save{seed}-{scheme}-{len(runs)}")
                        os.mkdir(save)
                        runs[label] = outcome(headless, work, url, save, env, flags, via)
                    one, kept = runs.values()
                    name = f"seed {seed}, {scheme}{', proxy' if via else ''}"
                    check(f"{name}: the run ends well", one["exit"] == 0 and kept["exit"] == 0,
                          "\n".join(kept["transcript"][-20:]))
                    check(f"{name}: the site gives files to save", len(one["files"]) >= 3,
                          str(sorted(one["files"])))
                    check(f"{name}: the same files, byte for byte",
                          one["files"] == kept["files"],
                          f"\n one {sorted(one['files'])}\nkept {sorted(kept['files'])}")
                    diff = [(a, b) for a, b in zip(one["transcript"], kept["transcript"])
                            if a != b][:3]
                    check(f"{name}: the same texts, boxes and work list",
                          one["transcript"] == kept["transcript"],
                          f"{len(one['transcript'])} / {len(kept['transcript'])} lines; {diff}")
                    check(f"{name}: the same settings file", one["settings"] == kept["settings"])
                # The kept HTTPS run spoke HTTP/2 (directly: a tunnel carries HTTP/1.1).
                kept_log = [line for line in nginx.requests().splitlines()
                            if re.search(r" HTTP/2\.0 ", line)]
                check(f"seed {seed}: HTTP/2 only when direct", (len(kept_log) > 3) == (not via),
                      str(len(kept_log)))
                # Each ended connection is followed by one new one (now and then two, when the
                # entry in hand needs one before the transfers ahead have made theirs), not one
                # for every transfer that was waiting for it.
                made = {line.split()[-1] for line in kept_log}
                ended = -(-len(kept_log) // PER_CONNECTION)
                check(f"seed {seed}: one new connection after each that ended",
                      len(made) <= ended * 3 // 2 + 1,
                      f"{len(made)} connections for {len(kept_log)} requests")
            finally:
                nginx.stop()
        proxy.stop()
    return tori.summary("crawl_keep_e2e")


if __name__ == "__main__":
    sys.exit(main())
