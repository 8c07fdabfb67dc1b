#!/usr/bin/env python3
"""Checks what Chromium made of an index page (the probe report of indexpage_chromium.sh)."""
import html
import os
import re
import sys
import urllib.parse

report_path, page = sys.argv[1], sys.argv[2]
dump = open(report_path, encoding="utf-8", errors="replace").read()
found = re.search(r'<pre id="out">(.*?)</pre>', dump, re.S)
if not found or not found.group(1).strip():
    print("the probe page reported nothing; the browser's DOM was:\n" + dump[:2000])
    sys.exit(1)
lines = html.unescape(found.group(1)).splitlines()

folder = os.path.dirname(page)
# The page's own footer links to the maker's site; every other link is an entry.
FOOTER = "http://www.tessaloom.example/"
failures = []
files = {n for n in os.listdir(folder) if n != "!ndex.htm"}
reached = set()
checked = 0
for line in lines:
    kind, _, rest = line.partition("\t")
    if kind == "MARK":
        if rest not in ("", "null"):
            failures.append("a script of the index ran (mark %r)" % rest)
        continue
    if kind == "HANDLER":
        failures.append("an element of the index carries an event handler: " + rest)
        continue
    url, _, state = rest.partition("\t")
    if url == FOOTER:
        continue
    checked += 1
    parts = urllib.parse.urlparse(url)
    if parts.scheme != "file" or parts.query or parts.fragment:
        failures.append("%s %s does not name a local file" % (kind, url))
        continue
    target = urllib.parse.unquote(parts.path, errors="surrogateescape")
    if os.path.dirname(target) != folder or not os.path.isfile(target):
        failures.append("%s %s leads to %r, not to a file of the folder" % (kind, url, target))
        continue
    if kind == "IMG" and state != "loaded":
        failures.append("thumbnail %s did not load" % url)
    reached.add(os.path.basename(target))

missing = files - reached
if missing:
    failures.append("no link reaches: %s" % sorted(missing))
if failures:
    print("\n".join(failures))
    sys.exit(1)
print("ok: %d links and thumbnails checked, %d files reached, no script ran" % (checked, len(reached)))
