"""The realistic part of the cache site (make-cache-site.py SITE --full).

Adds to the basic site, the same bytes at every run on the same Debian release: about a
hundred pictures of today's kinds (progressive JPEG, a large photo, PNG with and without
alpha and palette, GIF still and animated, WebP lossy, lossless and animated, AVIF, BMP,
ICO, SVG) in many aspect ratios from 16 to 4000 pixels; gallery pages in several scripts;
pages whose charset only the HTTP header names; scripts, style sheets, JSON, fonts; a short
WebM video and a WAV sound that a page plays, so the browser caches them in ranges. The
bodies are sent gzip, deflate, br or zstd through SITE/headers.tsv, which site-server.py
reads. Needs Debian's python3-pil, libavif-bin (avifenc) and python3-fonttools.
"""
import io
import math
import os
import random
import struct
import subprocess
import tempfile
import wave

from PIL import Image, ImageDraw

CODINGS = ["br", "zstd", "gzip", "deflate", None]

# Width:height ratios of today's pictures: squares, photos both ways, screens, cinema,
# banners and strips.
ASPECTS = [(1, 1), (4, 3), (3, 4), (16, 9), (9, 16), (21, 9), (3, 1), (1, 3), (8, 1),
           (1, 8), (3, 2), (2, 3), (5, 4), (47, 20), (1, 2), (2, 1), (10, 1)]
LONG_SIDES = [16, 24, 32, 48, 64, 100, 150, 256, 300, 480, 640, 800, 1024, 1600, 2400, 4000]
KINDS = ["jpeg", "jpeg-progressive", "png", "png-alpha", "png-palette", "gif", "gif-animated",
         "webp", "webp-lossless", "webp-animated", "avif", "bmp", "ico", "svg"]
EXTENSIONS = {"jpeg": "jpg", "jpeg-progressive": "jpg", "png": "png", "png-alpha": "png",
              "png-palette": "png", "gif": "gif", "gif-animated": "gif", "webp": "webp",
              "webp-lossless": "webp", "webp-animated": "webp", "avif": "avif", "bmp": "bmp",
              "ico": "ico", "svg": "svg"}
# Kinds that real sites keep small, and encoders that are slow on large pictures.
MAX_SIDE = {"ico": 256, "bmp": 800, "gif": 1024, "gif-animated": 480, "webp-animated": 800,
            "avif": 1600, "png-alpha": 2400}
PICTURE_COUNT = 98


def _colour(i):
    r = random.Random(i)
    return tuple(r.randrange(30, 230) for _ in range(3))


def _drawing(width, height, seed, alpha=False):
    """A picture that fills its whole box: a gradient with a checker and a diagonal, so
    that a thumbnail's drawn area shows its aspect (alpha never below 96)."""
    a, b = _colour(seed), _colour(seed + 1000)
    gx = Image.linear_gradient("L").resize((width, height))
    base = Image.composite(Image.new("RGB", (width, height), a),
                           Image.new("RGB", (width, height), b), gx)
    d = ImageDraw.Draw(base)
    step = max(4, min(width, height) // 4)
    for y in range(0, height, step):
        for x in range((y // step) % 2 * step, width, 2 * step):
            d.rectangle([x, y, x + step // 2, y + step // 2], fill=b)
    d.line([0, 0, width - 1, height - 1], fill=(255, 255, 255), width=max(1, step // 8))
    if not alpha:
        return base
    mask = Image.new("L", (width, height), 255)
    ImageDraw.Draw(mask).ellipse([width // 4, height // 4, 3 * width // 4, 3 * height // 4],
                                 fill=96)
    base.putalpha(mask)
    return base


def _frames(width, height, seed, count=4):
    return [_drawing(width, height, seed + 7 * k) for k in range(count)]


def _avif(picture):
    with tempfile.TemporaryDirectory() as tmp:
        src, dst = os.path.join(tmp, "in.png"), os.path.join(tmp, "out.avif")
        picture.save(src)
        subprocess.run(["avifenc", "--jobs", "1", "--speed", "8", "--min", "20", "--max", "40",
                        src, dst], check=True, stdout=subprocess.DEVNULL)
        return open(dst, "rb").read()


def _svg(width, height, seed):
    (r, g, b), (r2, g2, b2) = _colour(seed), _colour(seed + 1000)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">'
            "<title>not the page title</title>"
            '<rect width="%d" height="%d" fill="rgb(%d,%d,%d)"/>'
            '<circle cx="%d" cy="%d" r="%d" fill="rgb(%d,%d,%d)"/></svg>\n'
            % (width, height, width, height, width, height, r, g, b,
               width // 2, height // 2, max(1, min(width, height) // 3), r2, g2, b2)).encode()


def picture_bytes(kind, width, height, seed):
    out = io.BytesIO()
    if kind == "svg":
        return _svg(width, height, seed)
    if kind == "avif":
        return _avif(_drawing(width, height, seed))
    if kind in ("gif-animated", "webp-animated"):
        frames = _frames(width, height, seed)
        if kind == "gif-animated":
            frames = [f.convert("P", palette=Image.ADAPTIVE, colors=32) for f in frames]
            frames[0].save(out, "GIF", save_all=True, append_images=frames[1:], duration=150,
                           loop=0)
        else:
            frames[0].save(out, "WEBP", save_all=True, append_images=frames[1:], duration=150,
                           loop=0, quality=60, method=4)
        return out.getvalue()
    picture = _drawing(width, height, seed, alpha=kind in ("png-alpha", "webp-lossless", "ico"))
    if kind == "jpeg":
        picture.save(out, "JPEG", quality=85)
    elif kind == "jpeg-progressive":
        picture.save(out, "JPEG", quality=85, progressive=True, optimize=True)
    elif kind in ("png", "png-alpha"):
        picture.save(out, "PNG", optimize=True)
    elif kind == "png-palette":
        picture.convert("P", palette=Image.ADAPTIVE, colors=16).save(out, "PNG")
    elif kind == "gif":
        picture.convert("P", palette=Image.ADAPTIVE, colors=64).save(out, "GIF")
    elif kind == "webp":
        picture.save(out, "WEBP", quality=75, method=4)
    elif kind == "webp-lossless":
        picture.save(out, "WEBP", lossless=True, method=4)
    elif kind == "bmp":
        picture.save(out, "BMP")
    elif kind == "ico":
        picture.save(out, "ICO", sizes=[(width, height)])
    return out.getvalue()


def large_photo():
    """A 4000x3000 photo with grain, some megabytes like a camera's."""
    grain = Image.frombytes("L", (1000, 750), random.Random(4000).randbytes(1000 * 750))
    grain = grain.resize((4000, 3000), Image.BICUBIC).convert("RGB")
    out = io.BytesIO()
    Image.blend(_drawing(4000, 3000, 77), grain, 0.35).save(out, "JPEG", quality=92)
    return out.getvalue()


def pictures():
    """(path, bytes, width, height, headers) of every picture."""
    made = []
    for i in range(PICTURE_COUNT):
        kind = KINDS[i % len(KINDS)]
        aw, ah = ASPECTS[(i * 5) % len(ASPECTS)]
        side = min(LONG_SIDES[(i * 7 + i // len(LONG_SIDES)) % len(LONG_SIDES)],
                   MAX_SIDE.get(kind, 4000))
        width, height = (side, max(1, round(side * ah / aw))) if aw >= ah else \
                        (max(1, round(side * aw / ah)), side)
        headers = []
        path = "pics/p%03d-%dx%d.%s" % (i, width, height, EXTENSIONS[kind])
        if kind == "svg":
            headers.append(("Content-Encoding", CODINGS[i % 2]))  # servers compress SVG
        if i % 17 == 3:
            # A picture behind an address without an extension, typed by its header
            # (as image services answer).
            path = "cdn/i%03d" % i
            headers.append(("Content-Type", "image/" + ("svg+xml" if kind == "svg" else
                                                       EXTENSIONS[kind].replace("jpg", "jpeg"))))
        made.append((path, picture_bytes(kind, width, height, i), width, height, headers))
    made.append(("pics/photo-grain-4000x3000.jpg", large_photo(), 4000, 3000, []))
    return made


# --- text: pages, scripts, styles, data, fonts ----------------------------------------------

GALLERY_TITLES = [
    "Galerie d'\u00e9t\u00e9 \u2013 Photos de vacances",
    "\u0424\u043e\u0442\u043e\u0433\u0430\u043b\u0435\u0440\u0435\u044f: \u041b\u0435\u0442\u043e",
    "\u5199\u771f\u30ae\u30e3\u30e9\u30ea\u30fc \u590f\u4f11\u307f",
    "\u0393\u03ba\u03b1\u03bb\u03b5\u03c1\u03af \u03a6\u03c9\u03c4\u03bf\u03b3\u03c1\u03b1\u03c6\u03af\u03b1\u03c2",
    "\u05d2\u05dc\u05e8\u05d9\u05d4 \u05e9\u05dc \u05ea\u05de\u05d5\u05e0\u05d5\u05ea",
    "\u0645\u0639\u0631\u0636 \u0627\u0644\u0635\u0648\u0631",
    "\ud55c\uad6d\uc5b4 \uc0ac\uc9c4\ucca9",
    "Bildergalerie \u00fcber M\u00fcnchen \U0001F3D4",
    "\u0e41\u0e01\u0e25\u0e40\u0e25\u0e2d\u0e23\u0e35\u0e48\u0e20\u0e32\u0e1e",
    "Galer\u00eda &amp; fotos &#8211; Espa\u00f1a",
]

# (path, bytes, header charset, expected title): the charset only the HTTP header names.
# The last one's <meta> names a wrong charset: the header wins, as in browsers.
HEADER_PAGES = [
    ("text/cp1252-header.html", "windows-1252",
     "Cr\u00e8me br\u00fbl\u00e9e f\u00fcr 5 \u20ac \u2013 \u00abSpezial\u00bb"),
    ("text/sjis-header.html", "Shift_JIS", "\u5927\u962a\u306e\u5929\u6c17\u4e88\u5831"),
    ("text/koi8-header.html", "KOI8-R",
     "\u041f\u043e\u0433\u043e\u0434\u0430 \u0432 \u041c\u043e\u0441\u043a\u0432\u0435"),
    ("text/header-wins.html", "windows-1251",
     "\u041d\u043e\u0432\u043e\u0441\u0442\u0438 \u0438 \u0441\u043e\u0431\u044b\u0442\u0438\u044f"),
]


def header_page(charset, title, wrong_meta):
    meta = '<meta charset="iso-8859-2">' if wrong_meta else ""
    text = ("<!DOCTYPE html>\n<html><head>%s<title>%s</title></head><body><p>%s</p>"
            "</body></html>\n" % (meta, title, title))
    return text.encode(charset)


def shell(title_markup, body, head=""):
    return ("<!DOCTYPE html>\n<html lang=en><head><meta charset=utf-8>"
            '<meta name=viewport content="width=device-width">%s'
            '<link rel=stylesheet href="/css/main.css"><link rel=stylesheet href="/css/print.css" '
            'media=print><script src="/js/vendor.js"></script><script src="/js/app.js"></script>'
            "%s</head><body>\n%s\n<pre><code>var x = 1;</code></pre>\n</body></html>\n"
            % (title_markup, head, body)).encode()


def vendor_script():
    lines = ["/* vendor bundle */", "var vendor = (function () {", "  var table = {};"]
    for i in range(2500):
        lines.append("  table['k%d'] = function (x) { return x * %d + %d; };" % (i, i % 97, i))
    lines += ["  return table;", "})();", ""]
    return "\n".join(lines).encode()


APP_SCRIPT = b"""// Reads the site's data as today's pages do; synchronous, so the page's load waits.
function getJson(url) {
  var x = new XMLHttpRequest();
  x.open("GET", url, false);
  try { x.send(); return JSON.parse(x.responseText); } catch (e) { return null; }
}
var config = getJson("/data/config.json");
var catalog = getJson("/data/catalog.json");
var search = getJson("/api/search");
document.documentElement.dataset.items = catalog ? catalog.items.length : 0;
"""


def style_sheet():
    rules = ['@font-face { font-family: "Site"; src: url("/fonts/site.woff2") format("woff2"); }',
             '@font-face { font-family: "SiteMono"; src: url("/fonts/mono.ttf") format("truetype"); }',
             'body { font-family: "Site", sans-serif; margin: 0 auto; max-width: 60em; }',
             'code, pre { font-family: "SiteMono", monospace; }']
    for i in range(300):
        rules.append(".c%d { color: #%06x; padding: %dpx; }" % (i, (i * 2654435761) & 0xFFFFFF, i % 9))
    return ("\n".join(rules) + "\n").encode()


def font(family, woff2):
    """A small font of square glyphs, made with fontTools' FontBuilder."""
    from fontTools.fontBuilder import FontBuilder
    from fontTools.pens.ttGlyphPen import TTGlyphPen
    names = [".notdef", "space"] + ["g%02x" % c for c in range(0x21, 0x7F)]
    fb = FontBuilder(1000, isTTF=True)
    fb.setupGlyphOrder(names)
    fb.setupCharacterMap({0x20: "space", **{c: "g%02x" % c for c in range(0x21, 0x7F)}})
    glyphs = {}
    for name in names:
        pen = TTGlyphPen(None)
        if name != "space":
            k = sum(map(ord, name)) % 200
            pen.moveTo((100, 0)); pen.lineTo((100, 500 + k)); pen.lineTo((500, 500 + k))
            pen.lineTo((500, 0)); pen.closePath()
        glyphs[name] = pen.glyph()
    fb.setupGlyf(glyphs)
    fb.setupHorizontalMetrics({n: (600, 100) for n in names})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({"familyName": family, "styleName": "Regular"})
    fb.setupOS2(sTypoAscender=800, usWinAscent=800, usWinDescent=200)
    fb.setupPost()
    fb.font["head"].created = fb.font["head"].modified = 0x7C25B080  # fixed: same bytes
    out = io.BytesIO()
    if woff2:
        fb.font.flavor = "woff2"
    fb.font.save(out, reorderTables=False)
    return out.getvalue()


def webm(width=160, height=90, frames=12):
    """A short WebM video: VP8 key frames taken from lossy WebP pictures, 100 ms each."""
    def vint(n):
        for length in range(1, 8):
            if n < (1 << (7 * length)) - 1:
                return (n | (1 << (7 * length))).to_bytes(length, "big")
        return b"\x01" + n.to_bytes(7, "big")

    def el(ident, payload):
        return ident + vint(len(payload)) + payload

    def uint(ident, n):
        return el(ident, n.to_bytes(max(1, (n.bit_length() + 7) // 8), "big"))

    blocks = b""
    for k, picture in enumerate(_frames(width, height, 500, frames)):
        out = io.BytesIO()
        picture.save(out, "WEBP", quality=50)
        riff = out.getvalue()
        at = riff.index(b"VP8 ")
        size = struct.unpack("<I", riff[at + 4:at + 8])[0]
        frame = riff[at + 8:at + 8 + size]
        blocks += el(b"\xA3", b"\x81" + struct.pack(">hB", k * 100, 0x80) + frame)
    header = el(b"\x1A\x45\xDF\xA3", uint(b"\x42\x86", 1) + uint(b"\x42\xF7", 1) +
                uint(b"\x42\xF2", 4) + uint(b"\x42\xF3", 8) + el(b"\x42\x82", b"webm") +
                uint(b"\x42\x87", 2) + uint(b"\x42\x85", 2))
    info = el(b"\x15\x49\xA9\x66", uint(b"\x2A\xD7\xB1", 1000000) +
              el(b"\x4D\x80", b"make-cache-site") + el(b"\x57\x41", b"make-cache-site") +
              el(b"\x44\x89", struct.pack(">d", frames * 100.0)))
    video = el(b"\xE0", uint(b"\xB0", width) + uint(b"\xBA", height))
    tracks = el(b"\x16\x54\xAE\x6B", el(b"\xAE", uint(b"\xD7", 1) + uint(b"\x73\xC5", 1) +
                                       uint(b"\x83", 1) + el(b"\x86", b"V_VP8") + video))
    cluster = el(b"\x1F\x43\xB6\x75", uint(b"\xE7", 0) + blocks)
    return header + el(b"\x18\x53\x80\x67", info + tracks + cluster)


def wav(seconds=2, rate=16000):
    out = io.BytesIO()
    with wave.open(out, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<h", int(8000 * math.sin(2 * math.pi * 440 * t / rate)))
                               for t in range(seconds * rate)))
    return out.getvalue()


def write(site):
    files = {}      # path -> bytes
    headers = []    # (path, header, value)
    expected = []   # lines of expected.txt

    def put(path, data, *extra):
        files[path] = data
        for key, value in extra:
            headers.append((path, key, value))

    made = pictures()
    for path, data, width, height, extra in made:
        put(path, data, *extra)
        expected.append(("picture", path, str(width), str(height)))

    per_page = math.ceil(len(made) / len(GALLERY_TITLES))
    for g, title in enumerate(GALLERY_TITLES):
        shown = made[g * per_page:(g + 1) * per_page]
        imgs = "\n".join('<figure><img src="/%s" alt="" loading=eager><figcaption>%dx%d</figcaption>'
                         "</figure>" % (p, w, h) for p, _, w, h, _ in shown)
        path = "gallery/g%02d.html" % g
        markup = ('<title data-rh="true">%s</title>' % title) if g % 3 else "<title>%s</title>" % title
        coding = CODINGS[g % len(CODINGS)]
        put(path, shell(markup, "<h1 class=hero>%s</h1>\n%s" % (title, imgs)),
            *([("Content-Encoding", coding)] if coding else []))
        shown_title = title.replace("&amp;", "&amp;").replace("&#8211;", "\u2013")
        expected.append(("title", shown_title, path))

    for k, (path, charset, title) in enumerate(HEADER_PAGES):
        coding = CODINGS[k % 3]
        put(path, header_page(charset, title, path.endswith("wins.html")),
            ("Content-Type", "text/html; charset=%s" % charset), ("Content-Encoding", coding))
        expected.append(("title", title, path))

    media = ('<h2>Clips</h2><video src="/media/clip.webm" preload=auto muted autoplay '
             'width=160 height=90></video><audio src="/media/tone.wav" preload=auto></audio>'
             '<img src="/media/hold.gif" alt="">')
    put("media.html", shell("<title>Clips and Sounds</title>", media), ("Content-Encoding", "br"))
    expected.append(("title", "Clips and Sounds", "media.html"))
    put("media/clip.webm", webm())
    put("media/tone.wav", wav())
    # Holds the page's load event while the player fetches its ranges.
    hold = io.BytesIO()
    Image.new("RGB", (1, 1), (255, 255, 255)).save(hold, "GIF")
    put("media/hold.gif", hold.getvalue(), ("Delay", "4"))
    expected.append(("kind", "media/clip.webm", "Video"))
    expected.append(("kind", "media/tone.wav", "Sound"))

    put("js/vendor.js", vendor_script(), ("Content-Encoding", "zstd"))
    put("js/app.js", APP_SCRIPT, ("Content-Encoding", "br"))
    put("css/main.css", style_sheet(), ("Content-Encoding", "br"))
    put("css/print.css", b"body { color: black; background: white; }\n" * 30,
        ("Content-Encoding", "zstd"))
    catalog = ('{"items": [' + ",".join('{"id": %d, "name": "Artikel %d \u2013 \u00e9t\u00e9", '
                                        '"price": %d.%02d}' % (i, i, i * 3, i % 100)
                                        for i in range(400)) + "]}\n").encode()
    put("data/catalog.json", catalog, ("Content-Encoding", "br"))
    put("data/config.json", b'{"theme": "light", "version": 3, "features": ["a", "b"]}\n',
        ("Content-Encoding", "zstd"))
    put("api/search", b'{"query": "", "results": []}\n',
        ("Content-Type", "application/json; charset=utf-8"), ("Content-Encoding", "gzip"))
    put("fonts/site.woff2", font("Site", True))
    put("fonts/mono.ttf", font("SiteMono", False), ("Content-Encoding", "gzip"))
    for path, kind in (("js/vendor.js", "Java Script"), ("js/app.js", "Java Script"),
                       ("css/main.css", "Style Sheet"), ("data/catalog.json", "Data"),
                       ("data/config.json", "Data"), ("api/search", "Data"),
                       ("fonts/site.woff2", "Font"), ("fonts/mono.ttf", "Font")):
        expected.append(("kind", path, kind))

    for path, data in files.items():
        os.makedirs(os.path.dirname(os.path.join(site, path)) or site, exist_ok=True)
        with open(os.path.join(site, path), "wb") as f:
            f.write(data)
    with open(os.path.join(site, "headers.tsv"), "w", encoding="utf-8") as f:
        f.write("# PATH<TAB>Header: value, read by site-server.py\n")
        for path, key, value in headers:
            f.write("%s\t%s: %s\n" % (path, key, value))
    with open(os.path.join(site, "expected.txt"), "a", encoding="utf-8") as f:
        for line in expected:
            f.write("\t".join(line) + "\n")
