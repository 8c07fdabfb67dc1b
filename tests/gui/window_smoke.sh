#!/bin/sh
# window_smoke.sh PROGRAM: starts the real program on a virtual X server in
# throw-away homes, waits for its main window, ends it through File > Exit with the
# keyboard (Alt+F, X) and checks that it saved its settings and placement on the
# way out. Exit 77 (skipped) when xvfb-run or xdotool is missing.
set -eu

# A display number to start looking from, at random: xvfb-run -a only sees the
# lock files of its own /tmp, and a test suite running at the same time in another
# root (a clean-machine check) would otherwise take the same number. Such a server
# shows only by its socket, whose abstract name every root on the machine shares:
# a number with a socket is passed over.
display_to_try() {
  local n
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    n=$(( $(od -An -N2 -tu2 /dev/urandom) % 900 + 100 ))
    grep -q "/tmp/\.X11-unix/X$n\$" /proc/net/unix 2>/dev/null || break
  done
  echo "$n"
}
program=$1
command -v xvfb-run >/dev/null 2>&1 || { echo "xvfb-run missing: skipped"; exit 77; }
command -v xdotool >/dev/null 2>&1 || { echo "xdotool missing: skipped"; exit 77; }

if [ "${TSL_SMOKE_INNER:-0}" != 1 ]; then
  work=$(mktemp -d /tmp/tessaloom-smoke.XXXXXX)
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/data/Tessaloom" "$work/cache" "$work/run"
  chmod 700 "$work/run"
  # No Quick Start, no first-start reminder, an empty suggestion list: the main
  # window is the first and only window.
  printf '[General]\r\nShow Quick Start=No\r\nLast Major Version=99\r\nDirectory=%s\r\n' \
    "$work/cache" >"$work/data/Tessaloom/TSL.INI"
  : >"$work/data/Tessaloom/folders.dat"
  TSL_SMOKE_INNER=1 HOME=$work XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache \
    XDG_RUNTIME_DIR=$work/run xvfb-run -a -n "$(display_to_try)" -s '-screen 0 1280x800x24' "$0" "$program"
  ini=$work/data/Tessaloom/TSL.INI
  grep -q '^Tessaloom=[-0-9]\{32\}' "$ini" || { echo "no placement record:"; cat "$ini"; exit 1; }
  grep -q "^Directory=$work/cache" "$ini" || { echo "no directory:"; cat "$ini"; exit 1; }
  grep -q '^File Pattern=\*\.\*' "$ini" || { echo "no pattern:"; cat "$ini"; exit 1; }
  echo "ended through File > Exit; settings and placement written"
  exit 0
fi

"$program" &
pid=$!
window=
# Up to half a minute: a sanitized build on a machine busy with other builds can
# take more than ten seconds to show its first window.
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --name '^Tessaloom$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$window" ]; then
  if kill -0 "$pid" 2>/dev/null; then
    echo "the main window did not appear"
    kill "$pid"
  else
    status=0
    wait "$pid" || status=$?
    echo "the program ended (status $status) before its main window appeared"
  fi
  exit 1
fi
# Without a window manager nobody gives the window the focus; the keys may also
# arrive before the menu bar takes them, so try a few times.
for _ in 1 2 3 4 5; do
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  xdotool key alt+f
  sleep 0.3
  xdotool key x
  for _ in $(seq 20); do
    kill -0 "$pid" 2>/dev/null || break 2
    sleep 0.1
  done
done
if kill -0 "$pid" 2>/dev/null; then
  echo "the program did not end through File > Exit"
  kill "$pid"
  exit 1
fi
wait "$pid"
