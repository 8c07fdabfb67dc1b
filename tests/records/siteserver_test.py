#!/usr/bin/env python3
"""The cache site's server (tests/data/site-server.py) answers as the browsers need: byte
ranges, headers from the site's map, bodies in the codings the map names and the browser
accepts. On 127.0.0.1 only; brotli and zstd are checked where Debian's modules are found."""
import gzip
import http.client
import importlib.util
import os
import sys
import tempfile
import threading
import unittest
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
loader_info = importlib.util.spec_from_file_location(
    "site_server", os.path.join(HERE, "..", "data", "site-server.py"))
server = importlib.util.module_from_spec(loader_info)
loader_info.loader.exec_module(server)


class ByteRanges(unittest.TestCase):
    def test_single_ranges_against_a_ten_byte_body(self):
        u = "unsatisfiable"
        for range_text, size, want in [
                ("bytes=0-", 10, (0, 9)), ("bytes=2-4", 10, (2, 4)), ("bytes=5-100", 10, (5, 9)),
                ("bytes=9-9", 10, (9, 9)), ("bytes=-3", 10, (7, 9)), ("bytes=-30", 10, (0, 9)),
                (" bytes = 1 - 2 ", 10, (1, 2)), ("bytes=10-", 10, u), ("bytes=4-2", 10, u),
                ("bytes=-0", 10, u), ("bytes=0-", 0, u), ("bytes=-", 10, None),
                ("bytes=0-1,4-5", 10, None), ("items=0-1", 10, None), ("", 10, None),
                (None, 10, None)]:
            self.assertEqual(server.byte_range(range_text, size), want, range_text)

    def test_accepted_codings(self):
        for header, coding, want in [("gzip, deflate, br, zstd", "zstd", True),
                                     ("gzip;q=0.5", "gzip", True), ("br;q=0", "br", False),
                                     ("identity", "gzip", False), ("GZIP", "gzip", True),
                                     ("", "br", False), (None, "br", False)]:
            self.assertEqual(server.accepts(header, coding), want, (header, coding))


class Answers(unittest.TestCase):
    BODY = bytes(range(256)) * 8

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        root = cls.tmp.name
        os.makedirs(os.path.join(root, "gz"))
        for name in ("plain.bin", "sjis.html", "coded.txt", "br.txt", "zstd.txt", "gz/inner.txt"):
            with open(os.path.join(root, name), "wb") as f:
                f.write(cls.BODY)
        with open(os.path.join(root, "headers.tsv"), "w") as f:
            f.write("# comment\nsjis.html\tContent-Type: text/html; charset=Shift_JIS\n"
                    "sjis.html\tX-Extra: one\ncoded.txt\tContent-Encoding: deflate\n"
                    "br.txt\tContent-Encoding: br\nzstd.txt\tContent-Encoding: zstd\n")
        handler = type("H", (server.Handler,), {"root": root, "table": server.read_headers(root),
                                                "log_message": lambda *a: None})
        cls.httpd = server.http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=cls.httpd.serve_forever, daemon=True).start()

    @classmethod
    def tearDownClass(cls):
        cls.httpd.shutdown()
        cls.httpd.server_close()
        cls.tmp.cleanup()

    def get(self, path, **headers):
        c = http.client.HTTPConnection("127.0.0.1", self.httpd.server_address[1], timeout=10)
        c.request("GET", path, headers=headers)
        r = c.getresponse()
        body = r.read()
        c.close()
        return r, body

    def test_ranges_of_a_plain_body(self):
        for rng, status, part, content_range in [
                ("bytes=0-", 206, self.BODY, "bytes 0-2047/2048"),
                ("bytes=100-199", 206, self.BODY[100:200], "bytes 100-199/2048"),
                ("bytes=-16", 206, self.BODY[-16:], "bytes 2032-2047/2048"),
                ("bytes=5000-", 416, b"", "bytes */2048"),
                ("bytes=0-1,5-6", 200, self.BODY, None)]:
            r, body = self.get("/plain.bin", Range=rng)
            self.assertEqual((r.status, body, r.getheader("Content-Range")),
                             (status, part, content_range), rng)
        r, body = self.get("/plain.bin")
        self.assertEqual((r.status, r.getheader("Accept-Ranges"), body), (200, "bytes", self.BODY))
        # HTTP/1.1 with a strong validator: what a browser needs to keep a range.
        self.assertEqual(r.version, 11)
        self.assertFalse(r.getheader("ETag").startswith("W/"))

    def test_headers_from_the_map(self):
        r, body = self.get("/sjis.html")
        self.assertEqual((r.getheader("Content-Type"), r.getheader("X-Extra"), body),
                         ("text/html; charset=Shift_JIS", "one", self.BODY))

    def test_codings_when_accepted_and_never_with_a_range(self):
        decoders = {"gzip": gzip.decompress, "deflate": zlib.decompress}
        paths = [("/gz/inner.txt", "gzip"), ("/coded.txt", "deflate")]
        if server.brotli and server.zstandard:
            decoders["br"] = server.brotli.decompress
            decoders["zstd"] = lambda d: server.zstandard.ZstdDecompressor().decompress(d)
            paths += [("/br.txt", "br"), ("/zstd.txt", "zstd")]
        else:
            print("brotli and zstd not checked: Debian's modules are not found", file=sys.stderr)
        for path, coding in paths:
            r, body = self.get(path, **{"Accept-Encoding": "gzip, deflate, br, zstd",
                                        "Range": "bytes=0-9"})
            self.assertEqual((r.status, r.getheader("Content-Encoding")), (200, coding), path)
            self.assertEqual(int(r.getheader("Content-Length")), len(body))
            self.assertEqual(decoders[coding](body), self.BODY, path)
            r, body = self.get(path, Range="bytes=0-9")
            self.assertEqual((r.status, r.getheader("Content-Encoding"), body),
                             (206, None, self.BODY[:10]), path)


if __name__ == "__main__":
    unittest.main()
