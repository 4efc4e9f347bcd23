#!/usr/bin/env python3
"""End-to-end crawls with toravin-headless against a real nginx (gzip on for pages) on a loopback
port: directly, through a real tinyproxy, and packing into an LHA archive checked with lhasa.
The files on disk must be exactly the expected set, byte for byte."""
import argparse
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tori  # noqa: E402

check = tori.check
files_in = tori.files_in


crawl = tori.crawl


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--headless", required=True)
    ap.add_argument("--scripts", required=False)
    args = ap.parse_args()
    args.headless = os.path.abspath(args.headless)

    with tempfile.TemporaryDirectory(prefix="toravin-e2e-") as work:
        root = os.path.join(work, "site")
        index, expected = tori.make_site(root)
        nginx = tori.Nginx(work, root)
        proxy = tori.Tinyproxy(work)
        try:
            base = {"JPGDownLoad": True, "GIFDownLoad": True, "ZIPDownLoad": True,
                    "HTMLDownLoad": True, "JpegName": "*.jpg", "GifName": "*.gif",
                    "ZipName": "*.zip", "HtmlName": "*.html", "UseTar": True, "Retry": True,
                    "RetryCount": "5",
                    "TargetURL": f"http://127.0.0.1:{nginx.port}/{index}"}
            via_proxy = {"ProxyUse": True, "ProxyAddress": "127.0.0.1",
                         "ProxyPort": str(proxy.port)}
            keep = ("--connection", "keep")
            for label, extra, flags in [("direct", {}, ()), ("proxy", via_proxy, ()),
                                        ("direct, kept connections", {}, keep),
                                        ("proxy, kept connections", via_proxy, keep)]:
                save = os.path.join(work, "save-" + label.replace(", ", "-").replace(" ", "-"))
                os.mkdir(save)
                before = nginx.requests().count("\n")
                run = crawl(args.headless, work, {**base, **extra, "TargetDir": save}, flags)
                lines = nginx.requests().splitlines()[before:]
                connections = len({line.rsplit(" ", 1)[-1] for line in lines})
                if label == "direct":
                    check(f"{label}: a connection per request", connections == len(lines),
                          f"{connections} connections for {len(lines)} requests")
                elif label == "direct, kept connections":
                    # At most 8 to one server, and far fewer than the requests.
                    check(f"{label}: connections kept open", 1 <= connections <= 8 and
                          len(lines) > 10 and connections * 2 < len(lines),
                          f"{connections} connections for {len(lines)} requests")
                check(f"{label}: exit status 0", run.returncode == 0,
                      f"(status {run.returncode})\n{run.stdout[-3000:]}\n{run.stderr[-2000:]}")
                check(f"{label}: completion box",
                      "box: information: ダウンロード完了" in run.stdout, run.stdout[-2000:])
                got = files_in(save)
                check(f"{label}: exactly the expected files", sorted(got) == sorted(expected),
                      f"\n got {sorted(got)}\nwant {sorted(expected)}")
                check(f"{label}: bytes equal", all(got.get(k) == v for k, v in expected.items()))
                check(f"{label}: no temporary page copies left",
                      not any(n.endswith("_extracted") or n.endswith(".html")
                              for n in os.listdir(work)))
            log = nginx.requests()
            check("pages came gzip-encoded", "/p0/page0.html 200 gzip" in log, log[-1500:])
            # Through a proxy port where nothing listens, nothing can be fetched: the runs
            # above really went through tinyproxy.
            save = os.path.join(work, "save-noproxy")
            os.mkdir(save)
            run = crawl(args.headless, work, {**base, "TargetDir": save, "ProxyUse": True,
                                              "ProxyAddress": "127.0.0.1",
                                              "ProxyPort": str(tori.free_port())})
            check("closed proxy port: cannot connect", run.returncode == 1 and
                  "box: warning: 接続できません。" in run.stdout and not os.listdir(save),
                  run.stdout[-1500:])

            # Packing into one archive.
            save = os.path.join(work, "save-lha")
            os.mkdir(save)
            run = crawl(args.headless, work, {**base, "TargetDir": save, "UseLha": True,
                                              "LhaName": "pack"})
            check("lha: exit status 0", run.returncode == 0, run.stdout[-2000:])
            check("lha: only the archive in the folder", os.listdir(save) == ["pack.lzh"],
                  str(os.listdir(save)))
            archive = os.path.join(save, "pack.lzh")
            t = subprocess.run(["lha", "t", archive], capture_output=True, text=True)
            check("lha t accepts the archive", t.returncode == 0, t.stdout + t.stderr)
            out = os.path.join(work, "extract")
            os.mkdir(out)
            subprocess.run(["lha", "xq", archive], cwd=out, check=False)
            got = files_in(os.path.join(out, "pack")) if os.path.isdir(
                os.path.join(out, "pack")) else {}
            check("lha x gives exactly the expected files, byte for byte", got == expected,
                  f"\n got {sorted(got)}\nwant {sorted(expected)}")

            # Continue resumes a stored work list, resolving relative entries against the URL.
            save = os.path.join(work, "save-continue")
            os.mkdir(save)
            ini = os.path.join(work, "ToraVin.ini")
            with open(ini, "wb") as f:
                f.write(tori.settings_image({**base, "TargetDir": save},
                                            [("top0.jpg", base["TargetURL"])]))
            run = subprocess.run([args.headless, "--ini", ini, "--continue", "--no-pauses"],
                                 capture_output=True, text=True, timeout=60, cwd=work)
            check("continue fetches the stored entry", run.returncode == 0 and
                  files_in(save) == {"top0.jpg": expected["top0.jpg"]}, run.stdout[-1500:])
            # Nothing pending: the window offers no Continue button, so no run starts.
            run = subprocess.run([args.headless, "--ini", ini, "--continue", "--no-pauses"],
                                 capture_output=True, text=True, timeout=60, cwd=work)
            check("continue with an empty list does not start", run.returncode == 1 and
                  "box:" not in run.stdout, run.stdout)
            # A UTF-8 site: raw and percent-encoded Japanese names, and one CP932 cannot hold,
            # land under their real names.
            utf8_root = os.path.join(work, "site-utf8")
            os.mkdir(utf8_root)
            names = {"写真.jpg": "写真.jpg", "花火.jpg": "%E8%8A%B1%E7%81%AB.jpg",
                     "emoji😀.jpg": "emoji%F0%9F%98%80.jpg"}
            for name in names:
                with open(os.path.join(utf8_root, name), "wb") as f:
                    f.write(b"\xff\xd8" + name.encode())
            with open(os.path.join(utf8_root, "index.html"), "w", encoding="utf-8") as f:
                f.write('<html><head><meta charset="utf-8"></head><body>' +
                        "".join(f'<img src="{link}">' for link in names.values()) +
                        "</body></html>")
            nginx8 = tori.Nginx(os.path.join(work, "n8"), utf8_root)
            try:
                save = os.path.join(work, "save-utf8")
                os.mkdir(save)
                run = crawl(args.headless, work, {**base, "TargetDir": save,
                                                  "TargetURL": f"http://127.0.0.1:{nginx8.port}/"
                                                               "index.html"})
                got = files_in(save)
                check("utf-8 site: files under their real names",
                      got == {n: b"\xff\xd8" + n.encode() for n in names},
                      f"{sorted(got)}\n{run.stdout[-1500:]}")
                check("utf-8 site: status shows the names",
                      "status: emoji😀.jpg 保存中..." in run.stdout, run.stdout[-1500:])
            finally:
                nginx8.stop()
            usage = subprocess.run([args.headless, "--bogus"], capture_output=True)
            check("usage error exits 2", usage.returncode == 2)
            usage = subprocess.run([args.headless, "--ini", ini, "--connection", "always"],
                                   capture_output=True, text=True)
            check("unknown --connection value is a usage error", usage.returncode == 2 and
                  "--connection keep|close" in usage.stderr, usage.stderr)
        finally:
            proxy.stop()
            nginx.stop()
    return tori.summary("crawl_e2e")


if __name__ == "__main__":
    sys.exit(main())
