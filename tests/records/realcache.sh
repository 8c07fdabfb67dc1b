#!/usr/bin/env bash
# Real caches: Debian's chromium (and firefox-esr where installed) fill their disk
# caches from the small site of tests/data/make-cache-site.py, through the shared
# make-browser-cache tool, which runs them in a network namespace with only the
# loopback interface. Then the index is built with and without --records:
# with it, every page's title and every picture must appear, the pictures drawn
# from thumbnails under the cache home; without it, no copy is made; either
# way the reader lists the cache files.
#
#   realcache.sh TESSALOOM-CLI SOURCE-DIR
# Exit 77 (skipped) where the caches cannot be made here.
set -euo pipefail
CLI=$1
SRC=$2
TOOL=${TESSALOOM_BROWSER_CACHE_TOOL:-$SRC/../shared/tools/make-browser-cache}

skip() { echo "SKIPPED: $*"; exit 77; }
[ -x "$TOOL" ] || skip "no make-browser-cache tool at $TOOL"
[ "$(id -u)" = 0 ] || skip "the cache tool needs root"
unshare --net true 2>/dev/null || skip "no network namespace can be made here"
command -v chromium >/dev/null || skip "chromium is not installed"
command -v python3 >/dev/null || skip "python3 is not installed"
FIREFOX=()
command -v firefox-esr >/dev/null && FIREFOX=(--firefox)

WORK=$(mktemp -d /tmp/tessaloom-realcache-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
python3 "$SRC/tests/data/make-cache-site.py" "$WORK/site"
"$TOOL" "$WORK/site" "$WORK/out" "${FIREFOX[@]}" >"$WORK/tool.log" 2>&1 ||
    { cat "$WORK/tool.log"; skip "the cache tool could not run"; }

failures=0
check() { # FOLDER NAME
    local folder=$1 name=$2 doc
    doc="$folder/!ndex.htm"
    XDG_CACHE_HOME="$WORK/xdg-off" "$CLI" index --quiet --keep-binary --no-records "$folder" >/dev/null
    if grep -q 'file://' "$doc" || [ -e "$WORK/xdg-off/Tessaloom" ]; then
        echo "FAIL $name: pictures stored without --records"; failures=$((failures + 1))
    fi
    XDG_CACHE_HOME="$WORK/xdg" "$CLI" index --quiet --keep-binary --records "$folder" >/dev/null
    python3 - "$doc" "$WORK/site" "$name" <<'PY' || failures=$((failures + 1))
import os, re, sys, urllib.parse
doc = open(sys.argv[1], "rb").read().decode("utf-8", "replace")
site, name = sys.argv[2], sys.argv[3]
bad = 0
expected = [l.rstrip("\n").split("\t") for l in open(os.path.join(site, "expected.txt"), encoding="utf-8")]
titles = [e[1] for e in expected if e[0] == "title"]
pictures = {e[1]: e[1] for e in expected if e[0] == "picture"}
found_titles = [t for t in titles if "align=center>%s</a>" % t in doc]
shown = set()
# A picture is drawn from a thumbnail (or a copy) under the cache home; its cell
# names the address it came from.
marks = (b"\xff\xd8\xff", b"\x89PNG", b"RIFF", b"GIF8", b"<svg")
for url, src in re.findall(r'<TD align=center title="([^"]+)"><a href="[^"]*" target=new align=center alt=Image><img src="file://([^"]+)"', doc):
    data = open(urllib.parse.unquote(src), "rb").read()
    path = urllib.parse.urlsplit(url.replace("&amp;", "&")).path.lstrip("/")
    if path in pictures and data.startswith(marks):
        shown.add(path)
print("%s: %d of %d titles, %d of %d pictures" % (name, len(found_titles), len(titles), len(shown), len(pictures)))
for t in titles:
    if t not in found_titles:
        print("  missing title:", t); bad = 1
for p in pictures.values():
    if p not in shown:
        print("  missing picture:", p); bad = 1
sys.exit(bad)
PY
    # The reader lists the cache files behind the page.
    local listed records
    listed=$("$CLI" list "$doc" | wc -l)
    records=$(grep -c '^<TD align=center' "$doc")
    if [ "$listed" != "$records" ]; then
        echo "FAIL $name: the reader lists $listed of $records entries"; failures=$((failures + 1))
    fi
}
check "$WORK/out/chromium/Default/Cache/Cache_Data" chromium
if [ ${#FIREFOX[@]} -gt 0 ]; then
    check "$WORK/out/firefox/cache2/entries" firefox
else
    echo "firefox-esr is not installed: Chromium only"
fi
[ "$failures" = 0 ] && echo "real caches: all titles and pictures found"
exit $(( failures > 0 ))
