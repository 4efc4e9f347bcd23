#!/usr/bin/env python3
"""make demo: serves a sample site (pages, JPEG, GIF, ZIP, a gzip-encoded page, Japanese file
names in a Shift-JIS page) with nginx on a free loopback port. With a display it opens the window
and prints the URL to type; without one it crawls the site with toravin-headless, showing its
progress, and lists the files saved.
    scripts/demo.py BUILD_DIR"""
import io
import os
import random
import shutil
import subprocess
import sys
import tempfile
import zipfile

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "e2e"))
import tori  # noqa: E402

# 1x1 GIF.
GIF = (b"GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01\x00\x00\x00\x00"
       b",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;")


def make_site(root):
    rnd = random.Random(7)

    def jpeg(n):
        return b"\xff\xd8\xff\xe0" + bytes(rnd.getrandbits(8) for _ in range(n)) + b"\xff\xd9"

    def write(name, data):
        path = os.path.join(os.fsencode(root), name.encode("cp932"))
        with open(path, "wb") as f:
            f.write(data)

    zbuf = io.BytesIO()
    with zipfile.ZipFile(zbuf, "w") as z:
        z.writestr("readme.txt", "ToraVin demo\n")
    files = {"写真1.jpg": jpeg(30000), "写真2.jpg": jpeg(45000), "ねこ.gif": GIF,
             "資料.zip": zbuf.getvalue(), "花火.jpg": jpeg(60000), "flower.jpg": jpeg(20000)}
    for name, data in files.items():
        write(name, data)
    index = ('<html><head><meta charset="Shift_JIS"><title>ToraVin デモ</title></head><body>\n'
             '<h1>ToraVin のデモ</h1>\n<img src="写真1.jpg"> <img src="写真2.jpg">\n'
             '<img src="ねこ.gif">\n<a href="資料.zip">資料</a>\n'
             '<a href="page2.html">次のページ</a>\n</body></html>\n')
    # page2 is long enough for nginx to send it gzip-encoded.
    filler = "".join(f"<p>花火の写真 {i}</p>\n" for i in range(200))
    page2 = (f'<html><body>{filler}<img src="花火.jpg"><IMG SRC="flower.jpg"></body></html>\n')
    write("index.html", index.encode("cp932"))
    write("page2.html", page2.encode("cp932"))
    return files


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/release")
    work = tempfile.mkdtemp(prefix="toravin-demo-")
    root = os.path.join(work, "site")
    os.mkdir(root)
    make_site(root)
    nginx = tori.Nginx(work, root, gzip=True)
    url = f"http://127.0.0.1:{nginx.port}/index.html"
    try:
        if os.environ.get("DISPLAY") or os.environ.get("WAYLAND_DISPLAY"):
            print(f"demo: the sample site is at {url}")
            print("demo: type it into ＵＲＬ, choose a save directory, tick the kinds under 設定, "
                  "and press ダウンロード. Close the window to stop the demo.")
            subprocess.run([os.path.join(build, "bin", "toravin")])
            return
        save = os.path.join(work, "save")
        os.mkdir(save)
        ini = os.path.join(work, "ToraVin.ini")
        with open(ini, "wb") as f:
            f.write(tori.settings_image({**tori.ALL_KINDS, "TargetURL": url, "TargetDir": save}))
        print(f"demo: crawling {url} with toravin-headless")
        rc = subprocess.run([os.path.join(build, "bin", "toravin-headless"), "--ini", ini],
                            cwd=work).returncode
        print(f"demo: files saved in {save}:")
        for name in sorted(os.listdir(os.fsencode(save))):
            size = os.path.getsize(os.path.join(os.fsencode(save), name))
            print(f"  {name.decode('utf-8', 'replace'):<16} {size:>8} bytes")
        sys.exit(rc)
    finally:
        nginx.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
