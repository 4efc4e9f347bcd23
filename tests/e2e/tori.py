"""Shared pieces of the end-to-end scripts: a settings-file writer in the store's own format,
a generated two-level site, and nginx / tinyproxy on free loopback ports."""
import os
import random
import shutil
import socket
import subprocess
import time
import types

BOOLS = ["DoFileChoice", "JPGDownLoad", "GIFDownLoad", "ZIPDownLoad", "HTMLDownLoad"]
ORDER = ["DoFileChoice", "JPGDownLoad", "GIFDownLoad", "ZIPDownLoad", "HTMLDownLoad",
         "TargetURL", "TargetDir", "JpegName", "GifName", "ZipName", "HtmlName", "ProxyUse",
         "ProxyAddress", "ProxyPort", "UseLha", "LhaName", "FileSizeCheck", "FileSize",
         "UseTar", "Retry", "RetryCount"]
BOOL_NAMES = {"DoFileChoice", "JPGDownLoad", "GIFDownLoad", "ZIPDownLoad", "HTMLDownLoad",
              "ProxyUse", "UseLha", "FileSizeCheck", "UseTar", "Retry"}


def _short(b):
    return bytes([len(b)]) + b


def _text(b):
    if len(b) <= 255:
        return b"\x06" + _short(b)
    return b"\x0c" + len(b).to_bytes(4, "little") + b


def settings_image(values, work_list=()):
    """The settings file for `values` (name -> bool or str) and (url, referer) pairs."""
    out = b"TPF0" + _short(b"TToraVinIniList") + b"\x00"
    for name in ORDER:
        v = values.get(name, False if name in BOOL_NAMES else "")
        if name in BOOL_NAMES:
            out += _short(name.encode()) + (b"\x09" if v else b"\x08")
        elif v:
            out += _short(name.encode()) + _text(v.encode("cp932"))
    if work_list:
        out += _short(b"Rf") + b"\x01"
        for url, ref in work_list:
            out += _text(url.encode("cp932")) + _text(ref.encode("cp932"))
        out += b"\x00"
    return out + b"\x00\x00"


passed = 0
failed = 0


def check(name, ok, detail=""):
    """Prints one check's outcome and counts it (see `summary`)."""
    global passed, failed
    if ok:
        passed += 1
        print(f"ok   {name}")
    else:
        failed += 1
        print(f"FAIL {name} {detail}")


def summary(name):
    """The closing line of a script and its exit status."""
    print(f"{name}: {passed} passed, {failed} failed")
    return 1 if failed else 0


def files_in(d):
    """{path relative to d: bytes} of every file below d."""
    out = {}
    for base, _, names in os.walk(d):
        for n in names:
            full = os.path.join(base, n)
            with open(full, "rb") as f:
                out[os.path.relpath(full, d)] = f.read()
    return out


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def wait_port(port, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
            return True
        except OSError:
            time.sleep(0.05)
    return False


class Nginx:
    """nginx serving `root` on a free loopback port, everything under `work`; gzip on for pages.
    With `tls` (name -> (certificate, key)) it also serves `root` over TLS, one free port per
    pair, in `tls_ports`. `http_extra` and `tls_extra` are lines added to the server blocks; in
    them {http} and {https} stand for the plain port and the first TLS port."""

    def __init__(self, work, root, gzip=True, tls=None, http_extra="", tls_extra="",
                 name="nginx", http2=False):
        self.dir = os.path.join(work, name)
        os.makedirs(os.path.join(self.dir, "tmp"), exist_ok=True)
        self.port = free_port()
        self.tls_ports = {n: free_port() for n in (tls or {})}
        first_tls = next(iter(self.tls_ports.values()), 0)

        def fill(text):
            return text.replace("{http}", str(self.port)).replace("{https}", str(first_tls))

        tls_servers = "".join(
            f"  server {{ listen 127.0.0.1:{self.tls_ports[n]} ssl{' http2' if http2 else ''};"
            f" root {root};\n"
            f"    ssl_certificate {cert}; ssl_certificate_key {key};\n"
            f"    {fill(tls_extra)} }}\n"
            for n, (cert, key) in (tls or {}).items())
        user = "user root;" if os.getuid() == 0 else ""
        gz = "gzip on; gzip_min_length 1;" if gzip else "gzip off;"
        d = self.dir
        conf = f"""{user}
worker_processes 1;
daemon on;
pid {d}/nginx.pid;
error_log {d}/error.log;
events {{ worker_connections 256; }}
http {{
  log_format t '$request_uri $status $sent_http_content_encoding $server_protocol c$connection';
  access_log {d}/access.log t;
  client_body_temp_path {d}/tmp/body; proxy_temp_path {d}/tmp/proxy;
  fastcgi_temp_path {d}/tmp/fastcgi; uwsgi_temp_path {d}/tmp/uwsgi; scgi_temp_path {d}/tmp/scgi;
  types {{ text/html htm html; image/jpeg jpg jpeg jpe; image/gif gif; application/zip zip;
          image/png png; image/webp webp; image/avif avif; image/svg+xml svg; }}
  default_type application/octet-stream;
  {gz}
  gzip_http_version 1.0;
  ssl_protocols TLSv1.2 TLSv1.3;
  ssl_session_cache shared:tls:1m;
  server {{ listen 127.0.0.1:{self.port}; root {root}; {fill(http_extra)} }}
{tls_servers}}}
"""
        with open(os.path.join(d, "nginx.conf"), "w") as f:
            f.write(conf)
        binary = shutil.which("nginx") or "/usr/sbin/nginx"
        subprocess.run([binary, "-p", d, "-c", os.path.join(d, "nginx.conf"), "-e",
                        os.path.join(d, "error.log")], check=True)
        for port in [self.port, *self.tls_ports.values()]:
            if not wait_port(port):
                raise RuntimeError("nginx did not start")

    def requests(self):
        with open(os.path.join(self.dir, "access.log")) as f:
            return f.read()

    def stop(self):
        try:
            with open(os.path.join(self.dir, "nginx.pid")) as f:
                os.kill(int(f.read().strip()), 15)
        except (OSError, ValueError):
            pass


class Tinyproxy:
    """tinyproxy on a free loopback port; `extra` lines go into its configuration."""

    def __init__(self, work, extra="", name="tinyproxy"):
        d = os.path.join(work, name)
        os.makedirs(d, exist_ok=True)
        self.port = free_port()
        user = "User root\nGroup root\n" if os.getuid() == 0 else ""
        with open(os.path.join(d, "tinyproxy.conf"), "w") as f:
            f.write(f"{user}Port {self.port}\nListen 127.0.0.1\nTimeout 60\nMaxClients 20\n"
                    "Allow 127.0.0.1\nLogLevel Error\nDisableViaHeader Yes\n" + extra)
        binary = shutil.which("tinyproxy") or "/usr/bin/tinyproxy"
        self.proc = subprocess.Popen([binary, "-d", "-c", os.path.join(d, "tinyproxy.conf")],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_port(self.port):
            raise RuntimeError("tinyproxy did not start")

    def stop(self):
        self.proc.terminate()
        self.proc.wait(10)


def crawl(headless, work, values, flags=(), env=None):
    """toravin-headless run over the settings `values` (written to `work`/ToraVin.ini), with
    `flags`; its output is captured as text."""
    ini = os.path.join(work, "ToraVin.ini")
    with open(ini, "wb") as f:
        f.write(settings_image(values))
    return subprocess.run([headless, "--ini", ini, "--no-pauses", *flags], capture_output=True,
                          text=True, timeout=300, cwd=work, env=env)


def measured(cmd, cwd, env=None, every=0.01):
    """Runs one command (its output dropped) and returns its wall time (s), exit code, processor
    time (s, its own, from its exit status), peak RSS (MB, the kernel's high-water mark) and the
    most anonymous memory seen (MB), the last two read from /proc every `every` seconds."""
    t0 = time.monotonic()
    p = subprocess.Popen(cmd, cwd=cwd, env=env, stdout=subprocess.DEVNULL)
    peak = anon = 0
    while True:
        try:
            with open(f"/proc/{p.pid}/status") as f:
                for line in f:
                    if line.startswith("VmHWM:"):
                        peak = max(peak, int(line.split()[1]))
                    elif line.startswith("RssAnon:"):
                        anon = max(anon, int(line.split()[1]))
        except OSError:
            pass
        pid, status, usage = os.wait4(p.pid, os.WNOHANG)
        if pid == p.pid:
            break
        time.sleep(every)
    return types.SimpleNamespace(wall=time.monotonic() - t0,
                                 rc=os.waitstatus_to_exitcode(status),
                                 cpu=usage.ru_utime + usage.ru_stime,
                                 peak_mb=peak / 1024, anon_mb=anon / 1024)


def make_site(root, pages=3, files_per_page=4, seed=1, sizes=(500, 40000)):
    """A two-level site under `root`. Returns (index path, {saved name: bytes}) where the dict is
    what a crawl must save: every file linked from the start page and from the pages it links,
    and nothing linked only from deeper pages."""
    rnd = random.Random(seed)
    expected = {}
    kinds = [("jpg", b"\xff\xd8\xff\xe0"), ("gif", b"GIF89a"), ("zip", b"PK\x03\x04")]

    def write(path, data):
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(data)

    def new_file(path):
        ext = path.rsplit(".", 1)[1]
        magic = dict(kinds)[ext]
        data = magic + bytes(rnd.getrandbits(8) for _ in range(rnd.randint(*sizes)))
        write(path, data)
        return data

    index_links = []
    for k, (ext, _) in enumerate(kinds):
        name = f"top{k}.{ext}"
        expected[name] = new_file(name)
        index_links.append(f'<a href="{name}">{name}</a>' if ext != "gif" else f"<img src='{name}'>")
    # Two files of the same name in two folders: the second is saved with a number.
    expected["dup.jpg"] = new_file("a/dup.jpg")
    index_links.append('<IMG SRC="a/dup.jpg" ALT="dup">')
    for p in range(pages):
        page = f"p{p}/page{p}.html"
        links = []
        for i in range(files_per_page):
            ext = kinds[i % 3][0]
            name = f"p{p}f{i}.{ext}"
            expected[name] = new_file(f"p{p}/{name}")
            links.append(f'<img src="{name}">' if ext != "zip" else f'<a href="{name}">z</a>')
        if p == 0:
            expected["dup(1).jpg"] = new_file("b/dup.jpg")
            links.append('<img src="../b/dup.jpg">')
        # A deeper page and its file: never fetched.
        new_file(f"p{p}/deep/never{p}.jpg")
        write(f"p{p}/deep/deep.html", f'<img src="never{p}.jpg">'.encode())
        links.append('<a href="deep/deep.html">deeper</a>')
        filler = "".join(f"<p>text {j} of page {p}</p>\n" for j in range(200))
        write(page, f"<html><body>{filler}{''.join(links)}</body></html>\n".encode())
        index_links.append(f'<a href="{page}">page {p}</a>')
    write("index.html", ("<!DOCTYPE html><html><body>\n" + "\n".join(index_links) +
                         "\n</body></html>\n").encode())
    return "index.html", expected


# Every kind switched on with its usual mask, retries on: the settings of a full crawl.
ALL_KINDS = {"JPGDownLoad": True, "GIFDownLoad": True, "ZIPDownLoad": True, "HTMLDownLoad": True,
             "JpegName": "*.jpg", "GifName": "*.gif", "ZipName": "*.zip", "HtmlName": "*.html",
             "UseTar": True, "Retry": True, "RetryCount": "5"}
