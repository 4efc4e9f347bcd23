#!/usr/bin/env python3
"""make demo: serves a sample site (pages, JPEG, GIF, ZIP, a gzip-encoded page, Japanese file
names in a Shift-JIS page) with nginx on a free loopback port, and one page as today's sites
write them (srcset, data-src, picture, og:image, a root-relative link, "&amp;", PNG and WebP).
With a display it opens the window and prints the URLs to type; without one it crawls the site
with toravin-headless, showing its progress, lists the files saved, and then crawls the modern
page once with each reader to show what each finds.
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


MODERN = """<!doctype html><html><head><meta charset="utf-8">
<meta property="og:image" content="/modern/cover.jpg">
<title>ToraVin demo: a page of today</title></head><body>
<img class="lazy" src="data:image/gif;base64,R0lGODlhAQABAAAAACw=" data-src="lazy.jpg" alt="lazy">
<picture>
  <source type="image/webp" srcset="scene-640.webp 640w, scene-1280.webp 1280w">
  <img src="scene.jpg" alt="scene">
</picture>
<img src="thumb.jpg" srcset="thumb.jpg 1x, thumb-2x.jpg 2x" alt="thumb">
<img src="/modern/root.png" alt="a root-relative link">
<img src="tom&amp;jerry.png" alt="Tom &amp; Jerry">
<img src="resized.jpg?w=300" alt="a query after the name">
</body></html>
"""


def make_modern(root):
    """The modern page and its pictures under /modern/."""
    rnd = random.Random(11)
    folder = os.path.join(root, "modern")
    os.mkdir(folder)
    names = ["cover.jpg", "lazy.jpg", "scene-640.webp", "scene-1280.webp", "scene.jpg",
             "thumb.jpg", "thumb-2x.jpg", "root.png", "tom&jerry.png", "resized.jpg"]
    for name in names:
        with open(os.path.join(folder, name), "wb") as f:
            f.write(bytes(rnd.getrandbits(8) for _ in range(2000 + rnd.randrange(8000))))
    with open(os.path.join(folder, "index.html"), "w", encoding="utf-8") as f:
        f.write(MODERN)


def crawl_modern(build, work, url):
    """Crawls the modern page with each reader (PNG and WebP ticked) and shows what each saved."""
    found = {}
    for reader in ("patterns", "html"):
        run = os.path.join(work, reader)
        save = os.path.join(run, "save")
        os.makedirs(save)
        ini = os.path.join(run, "ToraVin.ini")
        with open(ini, "wb") as f:
            f.write(tori.settings_image({**tori.ALL_KINDS, "TargetURL": url, "TargetDir": save}))
        with open(os.path.join(run, "ToraVin.options"), "wb") as f:
            f.write(b"PngDownLoad=1\r\nWebpDownLoad=1\r\n")
        subprocess.run([os.path.join(build, "bin", "toravin-headless"), "--ini", ini, "--reader",
                        reader], cwd=run, stdout=subprocess.DEVNULL)
        found[reader] = sorted(os.listdir(save))
    print(f"demo: {url} with each reader (PNG and WebP ticked):")
    print(f"  {'--reader patterns':<22} --reader html")
    rows = max(len(v) for v in found.values())
    for i in range(rows):
        left = found["patterns"][i] if i < len(found["patterns"]) else ""
        right = found["html"][i] if i < len(found["html"]) else ""
        print(f"  {left:<22} {right}")


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/release")
    work = tempfile.mkdtemp(prefix="toravin-demo-")
    root = os.path.join(work, "site")
    os.mkdir(root)
    make_site(root)
    make_modern(root)
    nginx = tori.Nginx(work, root, gzip=True)
    url = f"http://127.0.0.1:{nginx.port}/index.html"
    modern = f"http://127.0.0.1:{nginx.port}/modern/index.html"
    try:
        if os.environ.get("DISPLAY") or os.environ.get("WAYLAND_DISPLAY"):
            print(f"demo: the sample site is at {url}")
            print(f"demo: a page of today is at {modern}")
            print("demo: type one into ＵＲＬ, choose a save directory, tick the kinds under 設定, "
                  "and press ダウンロード. Under 設定 > 拡張設定… choose how pages are read "
                  "(リンクのパターン or HTMLとして読む) and tick PNG and WebP to compare. "
                  "Close the window to stop the demo.")
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
        crawl_modern(build, work, modern)
        sys.exit(rc)
    finally:
        nginx.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
