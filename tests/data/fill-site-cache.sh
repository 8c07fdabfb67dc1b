#!/usr/bin/env bash
# fill-site-cache.sh SITE OUT [--firefox]
#
# The shared make-browser-cache tool with site-server.py as its server: brotli, zstd and
# deflate bodies, headers from SITE/headers.tsv, byte ranges for media. The browsers are
# still started by the tool's own inner mode, in its network namespace with only the
# loopback interface; this script makes the same checks and the same OUT the tool's outer
# mode makes, then puts the extended server where the tool runs its own. Root only.
set -euo pipefail
[ $# -ge 2 ] || { sed -n '2,8p' "$0"; exit 2; }
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
TOOL=$(realpath "${TESSALOOM_BROWSER_CACHE_TOOL:-$HERE/../../../shared/tools/make-browser-cache}")
SITE=$(realpath "$1"); OUT=$(realpath -m "$2"); FIREFOX=0; [ "${3:-}" = --firefox ] && FIREFOX=1
case "$OUT" in /tmp/*) ;; *) echo "OUT must be under /tmp" >&2; exit 2 ;; esac
[ -d "$SITE" ] || { echo "no site folder $SITE" >&2; exit 2; }
[ -f "$TOOL" ] || { echo "no make-browser-cache tool at $TOOL" >&2; exit 2; }

[ "$(id -u)" = 0 ] || { echo "run as root" >&2; exit 2; }
unshare --net true 2>/dev/null || { echo "cannot make a network namespace here: refusing to start browsers" >&2; exit 3; }
need=(); command -v chromium >/dev/null || need+=(chromium); command -v ip >/dev/null || need+=(iproute2)
[ "$FIREFOX" = 1 ] && ! command -v firefox-esr >/dev/null && need+=(firefox-esr)
/usr/bin/python3 -c 'import brotli, zstandard' 2>/dev/null || need+=(python3-brotli python3-zstandard)
if [ ${#need[@]} -gt 0 ]; then apt-get update -qq; DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null; fi

# The profile settings are the tool's own, taken from it so that they never drift.
userjs=$(sed -n "/^cat >\"\$OUT\/firefox\/user.js\" <<'JS'\$/,/^JS\$/p" "$TOOL" | sed '1d;$d')
grep -q 'network.proxy.type' <<<"$userjs" || { echo "cannot read the Firefox settings from $TOOL" >&2; exit 2; }
rm -rf "$OUT"; mkdir -p "$OUT/firefox"
cp "$HERE/site-server.py" "$OUT/.server.py"
printf '%s\n' "$userjs" >"$OUT/firefox/user.js"
MBC_INNER=1 FIREFOX=$FIREFOX unshare --net --pid --fork --mount-proc bash "$TOOL" "$SITE" "$OUT" "${3:-}"
echo "chromium records: $(ls "$OUT/chromium/Default/Cache/Cache_Data" 2>/dev/null | grep -c '_0$')"
[ "$FIREFOX" = 1 ] && echo "firefox records: $(ls "$OUT/firefox/cache2/entries" 2>/dev/null | wc -l)"
exit 0
