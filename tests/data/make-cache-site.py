#!/usr/bin/env python3
"""make-cache-site.py SITE

Writes a small web site into the folder SITE for filling real browser caches: 12 pages
(the 6 under gz/ are sent gzip-compressed by the cache-filling server), 10 pictures
(JPEG, PNG, GIF, and one JPEG without an extension), a script and a style sheet.
Every picture is made here, so the site needs nothing but Python's standard library.
Pages name their titles in a manifest (SITE/expected.txt) that the checks compare with.
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


def jpeg(colours, size=64):
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
    out += seg(0xC0, struct.pack(">BHHB", 8, size, size, 3) +
               b"\x01\x11\x00\x02\x11\x00\x03\x11\x00")
    out += seg(0xC4, b"\x00" + bytes(dc_bits) + bytes(dc_vals) +
               b"\x10" + bytes(ac_bits) + bytes(ac_vals))
    out += seg(0xDA, b"\x03\x01\x00\x02\x00\x03\x00\x00\x3F\x00")
    bits = _Bits()
    previous = [0, 0, 0]
    blocks = size // 8
    for by in range(blocks):
        for bx in range(blocks):
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


def png(colours, size=64):
    raw = bytearray()
    for y in range(size):
        raw.append(0)
        for x in range(size):
            raw += bytes(colours[((x // 8) + (y // 8)) % len(colours)])
    chunk = lambda kind, body: (struct.pack(">I", len(body)) + kind + body +
                                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw))) + chunk(b"IEND", b""))


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


def page(markup, pictures, filler):
    imgs = "\n".join('<img src="/%s" width=64 height=64>' % p for p in pictures)
    return ("<!DOCTYPE html>\n<html><head><meta charset=utf-8>%s"
            '<link rel=stylesheet href="/gz/site.css"><script src="/site.js"></script>'
            "</head><body>\n%s\n<p>%s</p>\n</body></html>\n" % (markup, imgs, filler))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    site = sys.argv[1]
    for sub in ("img", "gz"):
        os.makedirs(os.path.join(site, sub), exist_ok=True)
    for path, maker, colours in PICTURES:
        with open(os.path.join(site, path), "wb") as f:
            f.write(maker(colours))
    for i, (path, markup, _) in enumerate(PAGES):
        # Each picture is named by some page; the long page is bigger than one
        # compressed block.
        shown = [PICTURES[j][0] for j in range(len(PICTURES)) if j % len(PAGES) == i or (i == 0)]
        filler = ("Lorem ipsum dolor sit amet %d. " % i) * (4000 if "long" in path else 20)
        with open(os.path.join(site, path), "w") as f:
            f.write(page(markup, shown, filler))
    with open(os.path.join(site, "site.js"), "w") as f:
        f.write("document.documentElement.dataset.ready = 'yes';\n")
    with open(os.path.join(site, "gz", "site.css"), "w") as f:
        f.write("body { font-family: sans-serif; }\n" * 40)
    with open(os.path.join(site, "expected.txt"), "w") as f:
        for _, _, title in PAGES:
            f.write("title\t%s\n" % title)
        for path, _, _ in PICTURES:
            f.write("picture\t%s\n" % path)


if __name__ == "__main__":
    main()
