#!/usr/bin/env python3
"""Writes cached-looking files whose titles and names try to break out of the page."""
import os
import sys

folder = sys.argv[1]
# A 1x1 GIF, so that the picture entries are real pictures.
gif = (b"GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01\x00"
       b"\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;")
# Each script would mark the body with data-pwned; the attribute name is split so
# that the text of the page never holds it unless a script ran.
mark = "document.body.setAttribute('data-p'+'wned','%s')"

pages = {
    "title script.htm": "<title><script>%s</script></title>" % (mark % "title"),
    "title img.htm": "<title><img src=x onerror=\"%s\"></title>" % (mark % "img"),
    "heading.htm": "<h1><svg onload=\"%s\"></svg> heading</h1>" % (mark % "h1"),
    "page one.htm": "<title>blanks in the name</title>",
    "a&b.htm": "<title>ampersand</title>",
    "c#d.htm": "<title>hash</title>",
    "50%.htm": "<title>percent</title>",
    "50%41.htm": "<title>percent escape</title>",
    'say "hi".htm': "<title>double quote</title>",
    "q?x=1.htm": "<title>question mark</title>",
    "back\\slash.htm": "<title>backslash</title>",
    "tab\there.htm": "<title>tab</title>",
    "&quot;.htm": "<title>entity in the name</title>",
    "javascript:" + (mark % "href").replace("/", ""): "<title>scheme</title>",
    'x" onmouseover="%s" y.htm' % (mark % "attr"): "<title>attribute</title>",
}
for name, body in pages.items():
    with open(os.path.join(folder, name), "w", encoding="latin-1") as f:
        f.write("<html>%s</html>" % body)

for name in ["pic #1.gif", "http:tracker.example.gif", "p&q.gif", 'x" onerror="%s.gif' % (mark % "src"),
             "100%.gif", "sp ace.gif"]:
    with open(os.path.join(folder, name), "wb") as f:
        f.write(gif)
