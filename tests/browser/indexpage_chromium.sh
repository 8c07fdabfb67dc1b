#!/usr/bin/env bash
# Indexes a folder full of hostile names and titles, loads the page in headless
# Chromium inside a network namespace with only loopback, and checks the DOM the
# browser built: no script from a title, a name or the folder ran, and every
# link and thumbnail leads to an existing file of the folder.
# Exit 77 (skipped) when Chromium or a network namespace is not available.
set -euo pipefail
cli=$1
here=$(cd "$(dirname "$0")" && pwd)

browser=$(command -v chromium || command -v chromium-browser || true)
[ -n "$browser" ] || { echo "SKIP: chromium is not installed"; exit 77; }
command -v python3 >/dev/null || { echo "SKIP: python3 is not installed"; exit 77; }
if ! unshare --net true 2>/dev/null; then
  echo "SKIP: cannot make a network namespace (unshare --net needs root or user namespaces)"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The folder's own name is markup; it has no "/" so it is a legal name.
folder="$work/<img src=x onerror=document.body.setAttribute('data-p'+'wned','folder')>"
mkdir -p "$folder"
python3 "$here/make_hostile_corpus.py" "$folder"

"$cli" index --quiet --keep-binary "$folder" >/dev/null

page="$folder/!ndex.htm"
page_url="file://$(python3 -c 'import sys,urllib.parse;print(urllib.parse.quote(sys.argv[1]))' "$page")"
# A page of the test's own loads the index in a frame and reports what the
# browser made of it: the links and picture sources as it resolved them, whether
# each picture loaded, and any mark left by a script of the index.
cat >"$work/probe.html" <<PROBE
<!DOCTYPE html><html><body><iframe id=f src="$page_url"></iframe><pre id=out></pre><script>
const f = document.getElementById('f');
f.onload = () => setTimeout(() => {
  const d = f.contentDocument, out = [];
  out.push('MARK\t' + (d.body ? d.body.getAttribute('data-p' + 'wned') : 'no body'));
  for (const a of d.querySelectorAll('a[href]')) out.push('A\t' + a.href);
  for (const i of d.querySelectorAll('img'))
    out.push('IMG\t' + i.src + '\t' + (i.complete && i.naturalWidth > 0 ? 'loaded' : 'broken'));
  for (const e of d.querySelectorAll('*'))
    for (const at of e.attributes)
      if (at.name.startsWith('on')) out.push('HANDLER\t' + e.tagName + ' ' + at.name);
  document.getElementById('out').textContent = out.join('\n');
}, 300);
</script></body></html>
PROBE

dom="$work/dom.html"
# Only loopback exists in the namespace, and every name resolves to nothing, so
# the page cannot reach anything even if it tried.
unshare --net sh -c '
  ip link set lo up 2>/dev/null || true
  exec "$0" --headless --no-sandbox --disable-gpu --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --host-resolver-rules="MAP * ~NOTFOUND" --proxy-server=http://127.0.0.1:9 \
    --allow-file-access-from-files --user-data-dir="$1/profile" \
    --virtual-time-budget=5000 --dump-dom "file://$1/probe.html"' "$browser" "$work" \
  >"$dom" 2>"$work/chromium.log" || { cat "$work/chromium.log"; exit 1; }

python3 "$here/check_index_dom.py" "$dom" "$page"
