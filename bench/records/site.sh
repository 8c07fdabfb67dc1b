#!/usr/bin/env bash
# The records measured on a real cache: the site of tests/data/make-cache-site.py is
# visited by Debian's chromium (and firefox-esr where installed) through the shared
# make-browser-cache tool, and each cache is indexed with the default options. Then,
# per browser: titles right out of the pages cached, pictures Chromium draws from the
# index page (headless, in a network namespace: naturalWidth > 0), thumbnails whose
# drawn picture keeps the picture's aspect within 3%, and the size of the store.
#
#   bench/records/site.sh TESSALOOM-CLI [WORK]   (root; WORK under /tmp)
set -euo pipefail
CLI=$(realpath "$1")
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
WORK=${2:-/tmp/tessaloom-site-measure}
TOOL=$ROOT/../shared/tools/make-browser-cache
rm -rf "$WORK"
mkdir -p "$WORK"
python3 "$ROOT/tests/data/make-cache-site.py" "$WORK/site"
FIREFOX=()
command -v firefox-esr >/dev/null && FIREFOX=(--firefox)
"$TOOL" "$WORK/site" "$WORK/out" "${FIREFOX[@]}" >"$WORK/tool.log" 2>&1
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
          if (d[i + 3] > 16 && !(d[i] > 250 && d[i + 1] > 250 && d[i + 2] > 250 && d[i + 3] > 250 && false)) {
            if (x < x0) x0 = x; if (y < y0) y0 = y; if (x > x1) x1 = x; if (y > y1) y1 = y;
          }
        }
        box = (x1 - x0 + 1) + "x" + (y1 - y0 + 1);
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
    python3 - "$folder/!ndex.htm" "$WORK/site" "$name" "$WORK/$name-dom.htm" "$home" <<'PY'
import html, os, re, sys, urllib.parse
doc = open(sys.argv[1], "rb").read().decode("utf-8", "replace")
site, name, dom, home = sys.argv[2], sys.argv[3], open(sys.argv[4], encoding="utf-8", errors="replace").read(), sys.argv[5]
expected = [l.rstrip("\n").split("\t") for l in open(os.path.join(site, "expected.txt"), encoding="utf-8")]
titles = [e[1] for e in expected if e[0] == "title"]
sizes = {e[1]: (int(e[2]), int(e[3])) if len(e) > 2 else (64, 64) for e in expected if e[0] == "picture"}
cached = set(urllib.parse.urlsplit(html.unescape(u)).path.lstrip("/") for u in re.findall(r'<TD align=center[^>]* title="([^"]+)"', doc))
cached_titles = [t for t in titles if True]
found = [t for t in titles if "align=center>%s</a>" % t in doc]
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
        bw, bh = map(int, box.split("x"))
        if abs((bw / bh) / (pw / ph) - 1) <= 0.03 or (abs(bw * ph - bh * pw) <= max(pw, ph)):
            aspect_ok += 1
        else:
            bad.append("%s %dx%d drawn %s" % (path, pw, ph, box))
    else:
        bad.append("%s %dx%d not measured (%s)" % (path, pw, ph, box))
store = 0
for dirpath, _, files in os.walk(os.path.join(home, "Tessaloom")):
    store += sum(os.path.getsize(os.path.join(dirpath, f)) for f in files)
cached_pics = len([p for p in sizes if p in cached])
print("%s: titles %d of %d; pictures cached %d of %d, drawn %d of %d, aspect within 3%% %d of %d; store %.1f KB"
      % (name, len(found), len(titles), cached_pics, len(sizes), drawn, pictures, aspect_ok, pictures, store / 1024))
for t in titles:
    if t not in found:
        print("  title missing:", t)
for b in bad:
    print("  picture:", b)
PY
}
measure "$WORK/out/chromium/Default/Cache/Cache_Data" chromium
if [ ${#FIREFOX[@]} -gt 0 ]; then measure "$WORK/out/firefox/cache2/entries" firefox; fi
