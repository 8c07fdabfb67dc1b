#!/usr/bin/env bash
# main-window-screenshot.sh [BUILD_DIR]: retakes docs/main-window.png, the README's
# picture of the main window, from the real program on a virtual X server, in
# throw-away homes with a small sample cache. Needs xvfb, xdotool and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/default}")
program=$build/src/app/tessaloom
[ -x "$program" ] || { echo "no program at $program: build first" >&2; exit 2; }
if [ "${TSL_SHOT_INNER:-0}" != 1 ]; then
  exec xvfb-run -a -s '-screen 0 1280x800x24 -noreset' env TSL_SHOT_INNER=1 "$0" "$build"
fi

work=$(mktemp -d /tmp/demo.XXXX)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
pid=
export HOME=$work/home XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/home/.cache
export XDG_RUNTIME_DIR=$work/run LANG=C.UTF-8 LC_ALL=C.UTF-8 TZ=UTC
mkdir -p "$XDG_DATA_HOME/Tessaloom" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
chromium=$XDG_CACHE_HOME/chromium/Default/Cache/Cache_Data
firefox=$XDG_CACHE_HOME/mozilla/firefox/k2x9.default-release/cache2/entries
mkdir -p "$chromium" "$firefox" "$XDG_CACHE_HOME/chromium/Default/Code Cache"
for i in $(seq 1 14); do
  printf '<title>Page %s</title>' "$i" >"$chromium/$(printf '%016x_0' $((0x5f3a1c00 + i * 977)))"
  touch -d "2026-11-$((10 + i)) 10:00" "$chromium/$(printf '%016x_0' $((0x5f3a1c00 + i * 977)))"
done
for i in $(seq 1 23); do
  f=$firefox/$(printf '%040X' $((i * 7919)))
  printf 'x' >"$f"
  touch -d "2026-12-0$((1 + i % 7)) 09:00" "$f"
done
printf '%s\r\n%s\r\n' "$chromium" "$firefox" >"$XDG_DATA_HOME/Tessaloom/folders.dat"
printf '[General]\r\nShow Quick Start=No\r\nLast Major Version=99\r\nDirectory=%s\r\n' \
  "$chromium" >"$XDG_DATA_HOME/Tessaloom/TSL.INI"

"$program" &
pid=$!
window=
for _ in $(seq 100); do
  window=$(xdotool search --onlyvisible --name '^Tessaloom$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the main window did not appear" >&2; exit 1; }
sleep 1 # let the suggestions load and the window paint
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root "$work/root.png"
convert "$work/root.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage docs/main-window.png
echo "wrote docs/main-window.png (${WIDTH}x${HEIGHT})"
