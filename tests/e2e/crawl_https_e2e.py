#!/usr/bin/env python3
"""End-to-end crawls over HTTPS with toravin-headless: nginx serves a generated site over TLS
with certificates made here by the openssl command (trusted through SSL_CERT_FILE), directly and
through tinyproxy's CONNECT, byte for byte; pages whose pictures redirect from HTTP to HTTPS and
back; refused certificates (expired, wrong name, untrusted) with their texts and no file written;
and a proxy that refuses one tunnel, which drops only that entry."""
import argparse
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tori  # noqa: E402

check = tori.check
files_in = tori.files_in


def crawl(headless, work, values, env, flags=()):
    return tori.crawl(headless, work, values, flags, env)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--headless", required=True)
    ap.add_argument("--scripts", required=True)
    args = ap.parse_args()
    headless = os.path.abspath(args.headless)

    with tempfile.TemporaryDirectory(prefix="toravin-https-e2e-") as work:
        certs = os.path.join(work, "certs")
        subprocess.run([os.path.join(args.scripts, "make_test_certs.sh"), certs], check=True,
                       stdout=subprocess.DEVNULL)
        env = {**os.environ, "SSL_CERT_FILE": os.path.join(certs, "ca.pem")}
        root = os.path.join(work, "site")
        index, expected = tori.make_site(root)
        # Pages for the scheme changes: pictures behind /r/ redirect to HTTPS, behind /p/ to HTTP.
        pictures = ["top0.jpg", "top1.gif", "a/dup.jpg"]
        with open(os.path.join(root, "to-https.html"), "w") as f:
            f.write("".join(f'<img src="r/{p}">' for p in pictures))
        with open(os.path.join(root, "to-http.html"), "w") as f:
            f.write("".join(f'<img src="p/{p}">' for p in pictures))
        mixed = {os.path.basename(p): expected[os.path.basename(p)] for p in pictures}
        tls = {n: (os.path.join(certs, n + ".pem"), os.path.join(certs, n + ".key"))
               for n in ["good", "expired", "wrongname", "untrusted"]}
        nginx = tori.Nginx(
            work, root, tls=tls,
            http_extra="location /r/ { rewrite ^/r/(.*)$ https://127.0.0.1:{https}/$1 redirect; }",
            tls_extra="location /p/ { rewrite ^/p/(.*)$ http://127.0.0.1:{http}/$1 redirect; }")
        proxy = tori.Tinyproxy(work)
        strict = tori.Tinyproxy(work, extra="ConnectPort 443\n", name="tinyproxy-strict")
        https = nginx.tls_ports
        try:
            base = {"JPGDownLoad": True, "GIFDownLoad": True, "ZIPDownLoad": True,
                    "HTMLDownLoad": True, "JpegName": "*.jpg", "GifName": "*.gif",
                    "ZipName": "*.zip", "HtmlName": "*.html", "UseTar": True, "Retry": True,
                    "RetryCount": "2"}
            site_url = f"https://127.0.0.1:{https['good']}/{index}"
            via_proxy = {"ProxyUse": True, "ProxyAddress": "127.0.0.1",
                         "ProxyPort": str(proxy.port)}
            runs = [
                ("https direct", site_url, {}, expected),
                ("https through tinyproxy", site_url, via_proxy, expected),
                ("http page, pictures moved to https",
                 f"http://127.0.0.1:{nginx.port}/to-https.html", {}, mixed),
                ("https page, pictures moved to http",
                 f"https://127.0.0.1:{https['good']}/to-http.html", {}, mixed),
            ]
            for label, url, extra, want in runs:
                save = os.path.join(work, "save-" + label.replace(" ", "-").replace(",", ""))
                os.mkdir(save)
                run = crawl(headless, work, {**base, **extra, "TargetURL": url,
                                             "TargetDir": save}, env)
                check(f"{label}: exit status 0", run.returncode == 0,
                      f"(status {run.returncode})\n{run.stdout[-3000:]}\n{run.stderr[-2000:]}")
                check(f"{label}: completion box",
                      "box: information: ダウンロード完了" in run.stdout, run.stdout[-2000:])
                got = files_in(save)
                check(f"{label}: exactly the expected files", sorted(got) == sorted(want),
                      f"\n got {sorted(got)}\nwant {sorted(want)}")
                check(f"{label}: bytes equal", all(got.get(k) == v for k, v in want.items()))
            log = nginx.requests()
            check("https pages came gzip-encoded", "/p0/page0.html 200 gzip" in log, log[-1500:])

            # A server that offers HTTP/2: with kept connections the run speaks it, and files,
            # boxes and the number of requests are those of a connection per file.
            h2 = tori.Nginx(work, root, tls={"good": tls["good"]}, name="nginx-h2", http2=True)
            try:
                h2_url = f"https://127.0.0.1:{h2.tls_ports['good']}/{index}"
                outcome = {}
                for label, flags in [("http2 server, a connection per file", ()),
                                     ("http2 server, kept connections",
                                      ("--connection", "keep"))]:
                    save = os.path.join(work, "save-" + label.replace(" ", "-").replace(",", ""))
                    os.mkdir(save)
                    before = h2.requests().count("\n")
                    run = crawl(headless, work, {**base, "TargetURL": h2_url, "TargetDir": save},
                                env, flags)
                    lines = h2.requests().splitlines()[before:]
                    check(f"{label}: exit status 0", run.returncode == 0,
                          f"(status {run.returncode})\n{run.stdout[-3000:]}\n{run.stderr[-2000:]}")
                    got = files_in(save)
                    check(f"{label}: exactly the expected files", sorted(got) == sorted(expected),
                          f"\n got {sorted(got)}\nwant {sorted(expected)}")
                    check(f"{label}: bytes equal",
                          all(got.get(k) == v for k, v in expected.items()))
                    boxes = [ln for ln in run.stdout.splitlines() if ln.startswith("box:")]
                    outcome[bool(flags)] = (boxes, len(lines),
                                            sum(" HTTP/2.0 " in ln for ln in lines),
                                            len({ln.split()[-1] for ln in lines}))
                close, keep = outcome[False], outcome[True]
                check("http2 server: the same boxes either way", close[0] == keep[0],
                      f"{close[0]} / {keep[0]}")
                check("http2 server: no request more with kept connections", keep[1] <= close[1],
                      f"{keep[1]} / {close[1]}")
                check("http2 server: a connection per file speaks HTTP/1.1", close[2] == 0)
                check("http2 server: kept connections speak HTTP/2", keep[2] == keep[1] > 0,
                      h2.requests()[-1500:])
                # Its default 32 transfers at once are streams of one connection.
                check("http2 server: one connection carries every request", keep[3] == 1,
                      f"{keep[3]} connections")

                # Large files at 32 at once over one connection: what the transfers ahead hold
                # stays within their bound (64 MB, and 1 MB a stream not read), not the bodies.
                sizes = {f"b{i}.zip": (48 << 20) + i for i in range(6)}
                for name, size in sizes.items():
                    with open(os.path.join(root, name), "wb") as f:
                        f.truncate(size)
                with open(os.path.join(root, "big.html"), "w") as f:
                    f.write("".join(f'<a href="{n}">{n}</a>' for n in sizes))
                save = os.path.join(work, "save-h2-big")
                os.mkdir(save)
                ini = os.path.join(work, "ToraVin.ini")
                with open(ini, "wb") as f:
                    f.write(tori.settings_image({
                        **base, "TargetDir": save,
                        "TargetURL": f"https://127.0.0.1:{h2.tls_ports['good']}/big.html"}))
                run = subprocess.Popen([headless, "--ini", ini, "--no-pauses", "--connection",
                                        "keep"], cwd=work, env=env, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
                peak = 0
                while run.poll() is None:
                    try:
                        with open(f"/proc/{run.pid}/status") as f:
                            for line in f:
                                if line.startswith("VmHWM:"):
                                    peak = max(peak, int(line.split()[1]) >> 10)
                    except OSError:
                        pass
                    time.sleep(0.02)
                got = {n: os.path.getsize(os.path.join(save, n)) for n in os.listdir(save)}
                check("http2 server, large files: every one whole", got == sizes,
                      f"{got} (exit {run.returncode})")
                check("http2 server, large files: peak RSS under 160 MB of 288 MB fetched",
                      peak < 160, f"{peak} MB")
                for name in sizes:
                    os.remove(os.path.join(root, name))
            finally:
                h2.stop()

            # An https start page through a proxy port where nothing listens: the runs above
            # really went through tinyproxy.
            save = os.path.join(work, "save-noproxy")
            os.mkdir(save)
            run = crawl(headless, work, {**base, "TargetURL": site_url, "TargetDir": save,
                                         "ProxyUse": True, "ProxyAddress": "127.0.0.1",
                                         "ProxyPort": str(tori.free_port())}, env)
            check("https, closed proxy port: cannot connect", run.returncode == 1 and
                  "box: warning: 接続できません。" in run.stdout and not os.listdir(save),
                  run.stdout[-1500:])

            # Certificates that must be refused: the run ends as a connection failure whose box
            # names the host and the fault; nothing is written.
            texts = {"expired": "127.0.0.1 の証明書は有効期限が切れています。",
                     "wrongname": "127.0.0.1 の証明書は別のホスト名のものです。",
                     "untrusted": "127.0.0.1 の証明書は信頼できません。"}
            for name, text in texts.items():
                save = os.path.join(work, "save-" + name)
                os.mkdir(save)
                run = crawl(headless, work, {**base, "TargetURL":
                                             f"https://127.0.0.1:{https[name]}/{index}",
                                             "TargetDir": save}, env)
                check(f"{name} certificate: refused with its text", run.returncode == 1 and
                      f"box: warning: {text}\n接続できません。" in run.stdout, run.stdout[-1500:])
                check(f"{name} certificate: no file written", not os.listdir(save))
            # Without the test authority the good certificate is not trusted either.
            save = os.path.join(work, "save-no-ca")
            os.mkdir(save)
            bare = {k: v for k, v in env.items() if k not in ("SSL_CERT_FILE", "SSL_CERT_DIR")}
            bare["SSL_CERT_FILE"] = os.path.join(certs, "other-ca.pem")
            run = crawl(headless, work, {**base, "TargetURL": site_url, "TargetDir": save}, bare)
            check("another authority only: refused", run.returncode == 1 and
                  texts["untrusted"] in run.stdout and not os.listdir(save), run.stdout[-1500:])

            # A proxy that allows tunnels to port 443 only refuses the https picture's tunnel:
            # that entry is dropped with the proxy's refusal in the status bar, the rest arrive.
            page = os.path.join(root, "one-tunnel.html")
            with open(page, "w") as f:
                f.write(f'<img src="top0.jpg"><img src="https://127.0.0.1:{https["good"]}/'
                        f'top1.gif"><img src="a/dup.jpg">')
            save = os.path.join(work, "save-refused-tunnel")
            os.mkdir(save)
            run = crawl(headless, work, {**base, "TargetURL":
                                         f"http://127.0.0.1:{nginx.port}/one-tunnel.html",
                                         "TargetDir": save, "ProxyUse": True,
                                         "ProxyAddress": "127.0.0.1",
                                         "ProxyPort": str(strict.port)}, env)
            check("refused tunnel: the run completes", run.returncode == 0 and
                  "box: information: ダウンロード完了" in run.stdout, run.stdout[-2000:])
            check("refused tunnel: the proxy's refusal is shown",
                  f"status: プロキシが 127.0.0.1:{https['good']} への中継を拒否しました。（403）"
                  in run.stdout, run.stdout[-2000:])
            got = files_in(save)
            check("refused tunnel: only that entry is missing",
                  got == {"top0.jpg": expected["top0.jpg"], "dup.jpg": expected["dup.jpg"]},
                  str(sorted(got)))
        finally:
            strict.stop()
            proxy.stop()
            nginx.stop()
    return tori.summary("crawl_https_e2e")


if __name__ == "__main__":
    sys.exit(main())
