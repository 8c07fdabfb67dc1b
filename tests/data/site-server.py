#!/usr/bin/env python3
"""site-server.py PORT SITE

The web server that fills browser caches from the site of make-cache-site.py, listening on
127.0.0.1 only. Beyond sending files as they are, it does what real servers do to cached
responses:
  - files below SITE/gz/ are sent gzip-compressed, as the shared cache tool's server does;
  - SITE/headers.tsv maps a path to extra response headers, one "PATH<TAB>Name: value" a
    line. "Content-Type" replaces the guessed type (a charset sent by header only);
    "Content-Encoding: gzip|deflate|br|zstd" compresses the body with that coding when the
    browser accepts it; "Delay: SECONDS" holds the response back (not sent), which keeps a
    page's load event waiting while its media is fetched;
  - byte ranges ("Range: bytes=A-B", "A-", "-N") of bodies sent as they are, answered 206,
    as media players ask for them.
Brotli and Zstandard come from Debian's python3-brotli and python3-zstandard.
"""
import email.utils
import gzip
import http.server
import os
import re
import sys
import time
import zlib

try:
    import brotli
    import zstandard
except ImportError:
    brotli = zstandard = None

ENCODERS = {
    "gzip": lambda data: gzip.compress(data, mtime=0),
    "deflate": zlib.compress,
    "br": lambda data: brotli.compress(data),
    "zstd": lambda data: zstandard.ZstdCompressor(level=9).compress(data),
}


def read_headers(root):
    """The header map: path -> [(name, value)] in file order."""
    table = {}
    name = os.path.join(root, "headers.tsv")
    if not os.path.exists(name):
        return table
    with open(name, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            path, _, header = line.partition("\t")
            key, _, value = header.partition(":")
            table.setdefault(path.lstrip("/"), []).append((key.strip(), value.strip()))
    return table


def byte_range(header, size):
    """(first, last) of a single "bytes=" range, None where the header asks for no single
    range (the whole body is sent), or "unsatisfiable"."""
    m = re.fullmatch(r"\s*bytes\s*=\s*(\d*)\s*-\s*(\d*)\s*", header or "")
    if not m or (m.group(1) == "" and m.group(2) == ""):
        return None
    if m.group(1) == "":
        n = int(m.group(2))
        return (max(0, size - n), size - 1) if n > 0 and size > 0 else "unsatisfiable"
    first = int(m.group(1))
    last = int(m.group(2)) if m.group(2) else size - 1
    if first >= size or last < first:
        return "unsatisfiable"
    return first, min(last, size - 1)


def accepts(header, coding):
    for item in (header or "").split(","):
        name, _, params = item.strip().partition(";")
        if name.strip().lower() == coding and not re.search(r"q\s*=\s*0(\.0*)?\s*$", params):
            return True
    return False


class Handler(http.server.SimpleHTTPRequestHandler):
    # HTTP/1.1: Chromium keeps a byte range (a "<hash>_s" entry) only from a server whose
    # validators are strong, which an HTTP/1.0 answer's never are.
    protocol_version = "HTTP/1.1"
    root = "."
    table = {}

    def __init__(self, *a, **k):
        super().__init__(*a, directory=self.root, **k)

    def end_headers(self):
        self.send_header("Cache-Control", "public, max-age=3600")
        super().end_headers()

    def do_GET(self):
        self.respond(body=True)

    def do_HEAD(self):
        self.respond(body=False)

    def respond(self, body):
        rel = self.path.split("?")[0].split("#")[0].lstrip("/")
        fp = os.path.realpath(os.path.join(self.root, rel))
        if not (fp.startswith(os.path.realpath(self.root) + os.sep) and os.path.isfile(fp)):
            return super().do_GET() if body else super().do_HEAD()
        extra = self.table.get(rel, [])
        coding = "gzip" if rel.startswith("gz/") else None
        kind = self.guess_type(fp)
        sent = []
        for key, value in extra:
            if key.lower() == "delay":
                time.sleep(min(float(value), 10.0))
            elif key.lower() == "content-encoding":
                coding = value.lower()
            elif key.lower() == "content-type":
                kind = value
            else:
                sent.append((key, value))
        with open(fp, "rb") as f:
            data = f.read()
        stamp = os.stat(fp).st_mtime
        status, first, last = 200, None, None
        if coding in ENCODERS and accepts(self.headers.get("Accept-Encoding"), coding):
            data = ENCODERS[coding](data)
        else:
            coding = None
            wanted = byte_range(self.headers.get("Range"), len(data))
            if wanted == "unsatisfiable":
                self.send_response(416)
                self.send_header("Content-Range", "bytes */%d" % len(data))
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            if wanted:
                status, (first, last) = 206, wanted
        self.send_response(status)
        self.send_header("Content-Type", kind)
        self.send_header("Last-Modified", email.utils.formatdate(stamp, usegmt=True))
        self.send_header("ETag", '"%x-%x"' % (len(data), int(stamp)))
        if coding:
            self.send_header("Content-Encoding", coding)
            self.send_header("Vary", "Accept-Encoding")
        else:
            self.send_header("Accept-Ranges", "bytes")
        for key, value in sent:
            self.send_header(key, value)
        if status == 206:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (first, last, len(data)))
            data = data[first:last + 1]
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if body:
            self.wfile.write(data)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    if brotli is None or zstandard is None:
        # Debian's modules live with Debian's interpreter, which a PATH may hide.
        if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3"):
            os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
        sys.exit("site-server: needs python3-brotli and python3-zstandard")
    Handler.root = sys.argv[2]
    Handler.table = read_headers(sys.argv[2])
    http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()


if __name__ == "__main__":
    main()
