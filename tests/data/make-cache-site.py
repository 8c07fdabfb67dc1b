#!/usr/bin/env python3
"""make-cache-site.py SITE [--full]

Writes a web site into the folder SITE for filling real browser caches, the same bytes
at every run: pages (those under gz/ are sent gzip-compressed by the cache-filling
server) in several charsets and scripts (accented Latin, Cyrillic, CJK, emoji,
entities; windows-1252 and Shift_JIS declared by meta), titles after a large inline
script, titles and headings with attributes, a title inside an inline SVG, pages
without a title; pictures (JPEG, PNG with and without alpha, GIF, BMP, ICO, SVG) from
16 to 4000 pixels in many aspect ratios; scripts, a style sheet and JSON data.
Every picture is made here, so the site needs nothing but Python's standard library.
Pages name their titles in a manifest (SITE/expected.txt) that the checks compare with.

With --full (site_full.py, for fill-site-cache.sh and its server) the site grows into a
realistic one: about 120 pictures of today's kinds, brotli, zstd and deflate bodies,
charsets sent by header only, fonts, JSON, a short video and a sound.
"""
import os
import struct
import sys
import zlib

# --- pictures -------------------------------------------------------------------------

def _rgb_to_ycc(r, g, b):
    y = 0.299 * r + 0.587 * g + 0.114 * b
    cb = 128 - 0.168736 * r - 0.331264 * g + 0.5 * b
    cr = 128 + 0.5 * r - 0.418688 * g - 0.081312 * b
    return [max(0, min(255, round(v))) for v in (y, cb, cr)]


class _Bits:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def put(self, value, length):
        for i in range(length - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                if self.acc == 0xFF:
                    self.out.append(0)  # byte stuffing
                self.acc = 0
                self.n = 0

    def flush(self):
        while self.n:
            self.put(1, 1)
        return bytes(self.out)


def _huffman_codes(bits, values):
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            codes[values[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


def jpeg(colours, size=64, height=None):
    """A baseline JFIF picture: 8x8 blocks checkered in the given RGB colours.
    Every block is flat, so only DC coefficients are coded."""
    dc_bits = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]
    dc_vals = list(range(12))
    ac_bits = [0, 1] + [0] * 14  # one code: end of block
    ac_vals = [0]
    dc_codes = _huffman_codes(dc_bits, dc_vals)
    ac_codes = _huffman_codes(ac_bits, ac_vals)
    seg = lambda marker, body: struct.pack(">BBH", 0xFF, marker, len(body) + 2) + body
    out = b"\xFF\xD8"
    out += seg(0xE0, b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00")
    out += seg(0xDB, b"\x00" + bytes([1] * 64))
    width, height = size, height or size
    out += seg(0xC0, struct.pack(">BHHB", 8, height, width, 3) +
               b"\x01\x11\x00\x02\x11\x00\x03\x11\x00")
    out += seg(0xC4, b"\x00" + bytes(dc_bits) + bytes(dc_vals) +
               b"\x10" + bytes(ac_bits) + bytes(ac_vals))
    out += seg(0xDA, b"\x03\x01\x00\x02\x00\x03\x00\x00\x3F\x00")
    bits = _Bits()
    previous = [0, 0, 0]
    for by in range((height + 7) // 8):
        for bx in range((width + 7) // 8):
            ycc = _rgb_to_ycc(*colours[(bx + by) % len(colours)])
            for c in range(3):
                dc = 8 * (ycc[c] - 128)
                diff = dc - previous[c]
                previous[c] = dc
                cat = abs(diff).bit_length()
                code, length = dc_codes[cat]
                bits.put(code, length)
                if cat:
                    bits.put(diff if diff >= 0 else diff + (1 << cat) - 1, cat)
                code, length = ac_codes[0]
                bits.put(code, length)
    out += bits.flush() + b"\xFF\xD9"
    return out


def png(colours, size=64, height=None, alpha=False):
    width, height = size, height or size
    channels = 4 if alpha else 3
    rows = []
    for y in range(height):
        row = bytearray([0])
        for x in range(width):
            colour = colours[((x // 8) + (y // 8)) % len(colours)]
            row += bytes(colour) + (bytes([255 if (x + y) % 3 else 96]) if alpha else b"")
        rows.append(bytes(row))
    raw = b"".join(rows)
    chunk = lambda kind, body: (struct.pack(">I", len(body)) + kind + body +
                                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def png_alpha(colours, size=64, height=None):
    return png(colours, size, height, alpha=True)


def bmp(colours, size=64, height=None):
    width, height = size, height or size
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(height):
        row = bytearray()
        for x in range(width):
            r, g, b = colours[((x // 8) + (y // 8)) % len(colours)]
            row += bytes((b, g, r))
        pixels += row + b"\0" * (stride - len(row))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(pixels), 0, 0, 54) + header + bytes(pixels)


def ico(colours, size=32, height=None):
    """An icon holding one PNG picture, as today's favicons do."""
    body = png(colours, size, height, alpha=True)
    h = height or size
    return (struct.pack("<HHH", 0, 1, 1) +
            struct.pack("<BBBBHHII", size % 256, h % 256, 0, 0, 1, 32, len(body), 22) + body)


def svg(colours, size=64, height=None):
    h = height or size
    r, g, b = colours[0]
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">'
            '<title>not the page title</title><rect width="%d" height="%d" fill="rgb(%d,%d,%d)"/>'
            "</svg>\n" % (size, h, size, h, size, h, r, g, b)).encode()


def gif(colours, size=64):
    """A GIF whose LZW stream clears its table before the code width would grow,
    so every code is 8 bits."""
    palette = bytearray()
    for i in range(128):
        palette += bytes(colours[i % len(colours)])
    pixels = [((x // 8) + (y // 8)) % len(colours) for y in range(size) for x in range(size)]
    codes = []
    for i, p in enumerate(pixels):
        if i % 120 == 0:
            codes.append(128)
        codes.append(p)
    codes.append(129)
    data = bytes(codes)  # 8-bit codes are whole bytes
    sub = b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255] for i in range(0, len(data), 255))
    return (b"GIF89a" + struct.pack("<HHBBB", size, size, 0xF6, 0, 0) + bytes(palette) +
            b"," + struct.pack("<HHHHB", 0, 0, size, size, 0) + b"\x07" + sub + b"\x00;")


# --- the site ---------------------------------------------------------------------------

PICTURES = [  # (path, maker, colours)
    ("img/red.jpg", jpeg, [(220, 30, 30), (250, 250, 250)]),
    ("img/green.jpg", jpeg, [(30, 180, 60), (20, 20, 20)]),
    ("img/blue.jpeg", jpeg, [(30, 60, 220), (240, 240, 0)]),
    ("img/photo-noext", jpeg, [(200, 120, 40), (40, 120, 200)]),
    ("img/sea.jpg", jpeg, [(0, 140, 160), (255, 255, 255)]),
    ("img/leaf.png", png, [(40, 160, 40), (200, 240, 200)]),
    ("img/sun.png", png, [(250, 200, 0), (250, 120, 0)]),
    ("img/night.png", png, [(10, 10, 60), (200, 200, 255)]),
    ("img/dots.gif", gif, [(255, 0, 255), (0, 0, 0)]),
    ("img/stripes.gif", gif, [(0, 200, 200), (255, 255, 255)]),
]

# (path, maker, colours, width, height): today's kinds in many aspects and sizes.
SIZED_PICTURES = [
    ("img/banner.jpg", jpeg, [(200, 40, 40), (250, 220, 220)], 1600, 400),
    ("img/tower.jpg", jpeg, [(40, 40, 200), (220, 220, 250)], 400, 1600),
    ("img/photo-large.jpg", jpeg, [(120, 90, 30), (30, 90, 120)], 4000, 3000),
    ("img/wide.jpg", jpeg, [(10, 120, 10), (240, 240, 240)], 1920, 1080),
    ("img/strip.jpg", jpeg, [(90, 90, 90), (250, 250, 0)], 2000, 50),
    ("img/cinema.jpg", jpeg, [(0, 0, 0), (200, 200, 200)], 2520, 1080),
    ("img/portrait.jpg", jpeg, [(150, 20, 150), (250, 250, 250)], 600, 900),
    ("img/icon16.png", png, [(0, 0, 0), (255, 255, 255)], 16, 16),
    ("img/logo-alpha.png", png_alpha, [(20, 120, 220), (250, 250, 250)], 300, 200),
    ("img/badge-alpha.png", png_alpha, [(220, 120, 20), (20, 20, 20)], 48, 96),
    ("img/chart.png", png, [(255, 0, 0), (0, 0, 255)], 1200, 800),
    ("img/screen.bmp", bmp, [(0, 100, 200), (255, 255, 255)], 640, 480),
    ("img/favicon.ico", ico, [(250, 0, 0), (255, 255, 255)], 32, 32),
    ("img/small.ico", ico, [(0, 160, 0), (255, 255, 255)], 16, 16),
    ("img/shape.svg", svg, [(200, 0, 100)], 200, 100),
]

# (path, title markup, text, expected title); six under gz/ are sent gzipped.
PAGES = [
    ("index.html", "<title>Cache Site Home</title>", "Cache Site Home"),
    ("news.html", "<title>Daily News, Morning Edition</title>", "Daily News  Morning Edition"),
    ("about.html", "<TITLE>About Us</TITLE>", "About Us"),
    ("heading.html", "<title></title><h1>Heading Only Page</h1>", "Heading Only Page"),
    ("recipes.html", "<title>Recipes &amp; Cooking</title>", "Recipes &amp; Cooking"),
    ("contact.html", "<title>Contact</title>", "Contact"),
    ("gz/zipped-one.html", "<title>Zipped Page One</title>", "Zipped Page One"),
    ("gz/zipped-two.html", "<title>Zipped Page Two</title>", "Zipped Page Two"),
    ("gz/gallery.html", "<title>Zipped Gallery</title>", "Zipped Gallery"),
    ("gz/long.html", "<title>Zipped Long Page</title>", "Zipped Long Page"),
    ("gz/h2only.html", "<h2>Zipped Second Heading</h2>", "Zipped Second Heading"),
    ("gz/caps.html", "<TITLE>ZIPPED CAPITALS</TITLE>", "ZIPPED CAPITALS"),
]


def page(markup, pictures, filler, head=""):
    imgs = "\n".join('<img src="/%s" width=64 height=64>' % p for p in pictures)
    return ("<!DOCTYPE html>\n<html><head><meta charset=utf-8>%s%s"
            '<link rel=stylesheet href="/gz/site.css"><script src="/site.js"></script>'
            "</head><body>\n%s\n<p>%s</p>\n</body></html>\n" % (head, markup, imgs, filler))


def charset_page(charset, title_bytes, how):
    """A page in another charset, declared by <meta charset> or by http-equiv."""
    meta = ('<meta charset="%s">' % charset if how == "meta" else
            '<meta http-equiv="Content-Type" content="text/html; charset=%s">' % charset)
    return (b"<!DOCTYPE html>\n<html><head>" + meta.encode() + b"<title>" + title_bytes +
            b"</title></head><body><p>" + title_bytes + b"</p></body></html>\n")


# (path, bytes, expected title in UTF-8): charsets, scripts, tags as today's sites write them.
BIG_SCRIPT = "<script>var state = " + "{\"k\":\"<title>not this</title>\"}," * 9000 + "0;</script>"
TEXT_PAGES = [
    ("text/accents.html", page("<title>Caf\u00e9 cr\u00e8me br\u00fbl\u00e9e \u2013 \u00c0 la carte</title>", [], "x").encode(),
     "Caf\u00e9 cr\u00e8me br\u00fbl\u00e9e \u2013 \u00c0 la carte"),
    ("text/cyrillic.html", page("<title>\u041d\u043e\u0432\u043e\u0441\u0442\u0438 \u0434\u043d\u044f</title>", [], "x").encode(),
     "\u041d\u043e\u0432\u043e\u0441\u0442\u0438 \u0434\u043d\u044f"),
    ("text/cjk.html", page("<title>\u65e5\u672c\u8a9e\u306e\u30da\u30fc\u30b8 \u4e2d\u6587\u9875\u9762</title>", [], "x").encode(),
     "\u65e5\u672c\u8a9e\u306e\u30da\u30fc\u30b8 \u4e2d\u6587\u9875\u9762"),
    ("text/emoji.html", page("<title>Party \U0001F389 time \U0001F600</title>", [], "x").encode(),
     "Party \U0001F389 time \U0001F600"),
    ("text/entities.html", page("<title>Tom &amp; Jerry &#8212; &eacute;t&eacute; &#x2603; &lt;3</title>", [], "x").encode(),
     "Tom &amp; Jerry \u2014 \u00e9t\u00e9 \u2603 &lt;3"),
    ("text/latin1-meta.html", charset_page("windows-1252", "Men\u00fc \u00fcber \u201cZ\u00fcrich\u201d".encode("cp1252"), "meta"),
     "Men\u00fc \u00fcber \u201cZ\u00fcrich\u201d"),
    ("text/sjis-equiv.html", charset_page("Shift_JIS", "\u6771\u4eac\u306e\u5929\u6c17".encode("shift_jis"), "equiv"),
     "\u6771\u4eac\u306e\u5929\u6c17"),
    ("text/big-head.html", page("<title>Title After A Big Head</title>", [], "x", head=BIG_SCRIPT).encode(),
     "Title After A Big Head"),
    ("gz/big-head.html", page("<title data-rh=\"true\">Zipped Title After A Big Head</title>", [], "x", head=BIG_SCRIPT).encode(),
     "Zipped Title After A Big Head"),
    ("text/attributes.html", page('<title lang="en" data-rh="true">Title With Attributes</title>', [], "x").encode(),
     "Title With Attributes"),
    ("text/heading-attr.html", page("", [], '</p><h1 class="hero" id=top>Heading With Attributes</h1><p>').encode(),
     "Heading With Attributes"),
    ("text/svg-first.html", page("", [], '</p><svg width=10 height=10><title>icon</title></svg>'
                                         '<h2 class=x>After The Icon</h2><p>').encode(),
     "After The Icon"),
    ("text/long-title.html", page("<title>" + "Wort\u00e4 " * 16 + "</title>", [], "x").encode(),
     ("Wort\u00e4 " * 16).strip()[:87] + "..."),
]
UNTITLED_PAGES = ["text/no-title.html"]


def main():
    if len(sys.argv) not in (2, 3) or (len(sys.argv) == 3 and sys.argv[2] != "--full"):
        sys.exit(__doc__)
    site = sys.argv[1]
    write_site(site)
    if len(sys.argv) == 3:
        # Only here: Pillow, avifenc and fontTools are Debian packages, not the standard library.
        import site_full
        site_full.write(site)


def write_site(site):
    for sub in ("img", "gz", "text", "data"):
        os.makedirs(os.path.join(site, sub), exist_ok=True)
    for path, maker, colours in PICTURES:
        with open(os.path.join(site, path), "wb") as f:
            f.write(maker(colours))
    for path, maker, colours, width, height in SIZED_PICTURES:
        with open(os.path.join(site, path), "wb") as f:
            f.write(maker(colours, width, height))
    sized = [p[0] for p in SIZED_PICTURES]
    for i, (path, markup, _) in enumerate(PAGES):
        # Each picture is named by some page; the long page is bigger than one
        # compressed block.
        shown = [PICTURES[j][0] for j in range(len(PICTURES)) if j % len(PAGES) == i or (i == 0)]
        shown += [sized[j] for j in range(len(sized)) if j % len(PAGES) == i]
        filler = ("Lorem ipsum dolor sit amet %d. " % i) * (4000 if "long" in path else 20)
        with open(os.path.join(site, path), "w") as f:
            f.write(page(markup, shown, filler))
    for path, body, _ in TEXT_PAGES:
        with open(os.path.join(site, path), "wb") as f:
            f.write(body)
    for path in UNTITLED_PAGES:
        with open(os.path.join(site, path), "w") as f:
            f.write(page("", [], "A page without a title or a heading. <script src=/data/feed.js></script>"))
    with open(os.path.join(site, "site.js"), "w") as f:
        f.write("document.documentElement.dataset.ready = 'yes';\n"
                "fetch('/data/items.json').catch(function () {});\n")
    with open(os.path.join(site, "data", "items.json"), "w") as f:
        f.write('{"items": [' + ",".join('{"id": %d, "name": "item %d"}' % (i, i) for i in range(50)) + "]}\n")
    with open(os.path.join(site, "data", "feed.js"), "w") as f:
        f.write("var feed = 1;\n")
    with open(os.path.join(site, "gz", "site.css"), "w") as f:
        f.write("body { font-family: sans-serif; }\n" * 40)
    with open(os.path.join(site, "expected.txt"), "w", encoding="utf-8") as f:
        for path, _, title in PAGES + TEXT_PAGES:
            f.write("title\t%s\t%s\n" % (title, path))
        for path, _, _ in PICTURES:
            f.write("picture\t%s\n" % path)
        for path, _, _, width, height in SIZED_PICTURES:
            f.write("picture\t%s\t%d\t%d\n" % (path, width, height))


if __name__ == "__main__":
    main()
