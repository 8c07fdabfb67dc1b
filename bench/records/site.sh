#!/usr/bin/env bash
# The records measured on a real cache: the full site of tests/data/make-cache-site.py
# is visited by Debian's chromium (and firefox-esr where installed) through the shared
# make-browser-cache tool with the site's own server (tests/data/fill-site-cache.sh:
# gzip, deflate, br and zstd bodies, charsets by header, byte ranges for media), and
# each cache is indexed with the default options. Then, per browser: titles right out
# of the pages cached, pictures Chromium draws from the index page (headless, in a
# network namespace: naturalWidth > 0), thumbnails whose drawn picture keeps the
# picture's aspect within 3%, the size of the store, the kinds shown for video, sound,
# data, fonts, scripts and styles, and Chromium's split media entries ("<hash>_0" with
# "<hash>_s") listed with one address and one kind.
#
#   bench/records/site.sh TESSALOOM-CLI [WORK]   (root; WORK under /tmp)
#   SITE_REMEASURE=1 bench/records/site.sh ...   indexes and measures WORK's caches again
set -euo pipefail
CLI=$(realpath "$1")
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
WORK=${2:-/tmp/tessaloom-site-measure}
# The full site's encoders and the server's codings: Debian's packages, for Debian's python3.
need=()
for m in PIL:python3-pil fontTools:python3-fonttools brotli:python3-brotli zstandard:python3-zstandard; do
    /usr/bin/python3 -c "import ${m%%:*}" 2>/dev/null || need+=("${m#*:}")
done
command -v avifenc >/dev/null || need+=(libavif-bin)
if [ ${#need[@]} -gt 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
FIREFOX=()
command -v firefox-esr >/dev/null && FIREFOX=(--firefox)
if [ "${SITE_REMEASURE:-0}" = 1 ] && [ -d "$WORK/out/chromium" ]; then
    # The caches of an earlier run, indexed and measured again.
    rm -rf "$WORK"/xdg-* "$WORK/.measure-profile"
    [ -d "$WORK/out/firefox/cache2" ] || FIREFOX=()
else
    rm -rf "$WORK"
    mkdir -p "$WORK"
    /usr/bin/python3 "$ROOT/tests/data/make-cache-site.py" "$WORK/site" --full
    "$ROOT/tests/data/fill-site-cache.sh" "$WORK/site" "$WORK/out" "${FIREFOX[@]}" >"$WORK/tool.log" 2>&1
fi
measure() { # FOLDER NAME
    local folder=$1 name=$2 home=$WORK/xdg-$2
    XDG_CACHE_HOME=$home "$CLI" index --quiet "$folder" >/dev/null
    # A copy of the page that measures itself once every picture has loaded.
    python3 - "$folder/!ndex.htm" "$WORK/$name-measure.htm" "$folder" <<'PY'
import sys
page = open(sys.argv[1], "rb").read()
script = b"""<script>
window.addEventListener("load", function () {
  var out = [];
  document.querySelectorAll("img").forEach(function (img) {
    var box = "";
    if (img.naturalWidth > 0) {
      var c = document.createElement("canvas");
      c.width = img.naturalWidth; c.height = img.naturalHeight;
      var g = c.getContext("2d"); g.drawImage(img, 0, 0);
      try {
        var d = g.getImageData(0, 0, c.width, c.height).data, x0 = 1e9, y0 = 1e9, x1 = -1, y1 = -1;
        for (var y = 0; y < c.height; y++) for (var x = 0; x < c.width; x++) {
          var i = (y * c.width + x) * 4;
          // Background: transparent, or the white an opaque thumbnail is drawn on
          // (with JPEG's faint ringing around the picture).
          if (d[i + 3] > 16 && !(d[i] >= 224 && d[i + 1] >= 224 && d[i + 2] >= 224)) {
            if (x < x0) x0 = x; if (y < y0) y0 = y; if (x > x1) x1 = x; if (y > y1) y1 = y;
          }
        }
        // As the page shows it: a picture drawn into a box of another shape is squashed.
        var sx = img.width / img.naturalWidth, sy = img.height / img.naturalHeight;
        if (getComputedStyle(img).objectFit == "contain") sx = sy = Math.min(sx, sy);
        box = Math.round((x1 - x0 + 1) * sx * 100) / 100 + "x" + Math.round((y1 - y0 + 1) * sy * 100) / 100;
      } catch (e) { box = "tainted"; }
    }
    var cell = img.closest("td");
    out.push([cell ? cell.title : "", img.naturalWidth, img.naturalHeight, box].join("\\t"));
  });
  var pre = document.createElement("pre"); pre.id = "measured";
  pre.textContent = out.join("\\n"); document.body.appendChild(pre);
});
</script>"""
base = b'<base href="file://' + sys.argv[3].encode() + b'/">'
page = page.replace(b"<HEAD>\r\n", b"<HEAD>\r\n" + base, 1).replace(b"</BODY>", script + b"</BODY>", 1)
open(sys.argv[2], "wb").write(page)
PY
    unshare --net timeout 120 chromium --headless --no-sandbox --disable-gpu --no-first-run \
        --disable-background-networking --host-resolver-rules="MAP * ~NOTFOUND" \
        --proxy-server=http://127.0.0.1:9 --allow-file-access-from-files \
        --user-data-dir="$WORK/.measure-profile" --virtual-time-budget=20000 \
        --dump-dom "file://$WORK/$name-measure.htm" 2>/dev/null >"$WORK/$name-dom.htm" || true
    python3 - "$folder/!ndex.htm" "$WORK/site" "$name" "$WORK/$name-dom.htm" "$home" "$folder" <<'PY'
import html, os, re, sys, urllib.parse
doc = open(sys.argv[1], "rb").read().decode("utf-8", "replace")
site, name, home, folder = sys.argv[2], sys.argv[3], sys.argv[5], sys.argv[6]
dom = open(sys.argv[4], encoding="utf-8", errors="replace").read()
expected = [l.rstrip("\n").split("\t") for l in open(os.path.join(site, "expected.txt"), encoding="utf-8")]
titles = {e[2]: e[1] for e in expected if e[0] == "title"}
sizes = {e[1]: (int(e[2]), int(e[3])) if len(e) > 2 else (64, 64) for e in expected if e[0] == "picture"}
kinds = {e[1]: e[2] for e in expected if e[0] == "kind"}
# Every cell: its address, the file it links and what it shows (a title, a kind, a picture).
cells = {}
by_file = {}
for url, target, rest, shown in re.findall(
        r'<TD align=center[^>]* title="([^"]+)"><a href="([^"]*)"([^>]*)>(.*?)</a>', doc):
    path = urllib.parse.urlsplit(html.unescape(url)).path.lstrip("/")
    label = "Image" if "<img" in shown else shown
    cells.setdefault(path, []).append(label)
    by_file[urllib.parse.unquote(target)] = (path, label)
pages = [p for p in titles if p in cells]
right = [p for p in pages if titles[p] in cells[p]]
m = re.search(r'<pre id="measured">(.*?)</pre>', dom, re.S)
rows = [r.split("\t") for r in html.unescape(m.group(1)).split("\n")] if m and m.group(1) else []
drawn = aspect_ok = pictures = 0
bad = []
for url, w, h, box in rows:
    path = urllib.parse.urlsplit(url).path.lstrip("/")
    if path not in sizes:
        continue
    pictures += 1
    if int(w) > 0:
        drawn += 1
    pw, ph = sizes[path]
    if "x" in box:
        bw, bh = map(float, box.split("x"))
        if abs((bw / bh) / (pw / ph) - 1) <= 0.03 or (abs(bw * ph - bh * pw) <= max(pw, ph)):
            aspect_ok += 1
        else:
            bad.append("%s %dx%d shown %s" % (path, pw, ph, box))
    else:
        bad.append("%s %dx%d not measured (%s)" % (path, pw, ph, box))
store = 0
for dirpath, _, files in os.walk(os.path.join(home, "Tessaloom")):
    store += sum(os.path.getsize(os.path.join(dirpath, f)) for f in files)
cached_pics = len([p for p in sizes if p in cells])
kinds_cached = [p for p in kinds if p in cells]
kinds_right = [p for p in kinds_cached if all(l == kinds[p] for l in cells[p])]
pairs = pairs_right = 0
for f in sorted(os.listdir(folder)):
    if f.endswith("_s") and f[:-2] + "_0" in by_file:
        pairs += 1
        if by_file.get(f) == by_file[f[:-2] + "_0"]:
            pairs_right += 1
        else:
            bad.append("split entry %s: %s, head %s" % (f, by_file.get(f), by_file[f[:-2] + "_0"]))
print("%s: titles right %d of %d pages cached (%d pages); pictures cached %d of %d, drawn %d of %d, "
      "aspect within 3%% %d of %d; store %.1f KB; kinds right %d of %d cached (%d); split pairs right %d of %d"
      % (name, len(right), len(pages), len(titles), cached_pics, len(sizes), drawn, pictures,
         aspect_ok, pictures, store / 1024, len(kinds_right), len(kinds_cached), len(kinds),
         pairs_right, pairs))
for p in pages:
    if p not in right:
        print("  title: %s shows %s, not %s" % (p, cells[p], titles[p]))
for p in kinds_cached:
    if p not in kinds_right:
        print("  kind: %s shows %s, not %s" % (p, cells[p], kinds[p]))
for p in sorted(set(titles) - set(pages)) + sorted(set(kinds) - set(kinds_cached)):
    print("  not cached:", p)
for b in bad:
    print("  picture:" if not b.startswith("split") else " ", b)
PY
}
measure "$WORK/out/chromium/Default/Cache/Cache_Data" chromium
if [ ${#FIREFOX[@]} -gt 0 ]; then measure "$WORK/out/firefox/cache2/entries" firefox; fi
