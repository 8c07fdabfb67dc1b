#!/bin/sh
# wayland_smoke.sh DRIVER CLI SOUNDS_DIR: the window program natively on Wayland, under
# a headless Weston in throw-away homes. DRIVER (menudriver.cpp) waits for the
# main window, opens the View/Delete Wizard and closes it through their menus,
# then ends the program through File > Exit. Checks that it said nothing on the
# way (no audio device here, and no complaint about window positions), that the
# main window's saved position is still the one recorded before (a compositor
# places windows itself, so the position the program sees is not where its window
# is) and that the wizard's new record holds no made-up position. Exit 77
# (skipped) when weston is missing.
set -eu
driver=$1
cli=$2
sounds=$3
command -v weston >/dev/null 2>&1 || { echo "weston missing: skipped"; exit 77; }

work=$(mktemp -d /tmp/tessaloom-wayland.XXXXXX)
weston_pid=
cleanup() {
  [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/data/Tessaloom" "$work/cache" "$work/run" "$work/program"
chmod 700 "$work/run"
# The program beside its sounds, as installed, so that the slides and the wizard
# play them (silently, without a device).
cp "$driver" "$work/program/tessaloom"
cp "$sounds/ClickBg.wav" "$sounds/message2.wav" "$work/program/"
# A folder with an index page, so that the wizard lists it instead of asking for one.
mkdir -p "$work/cache/pages"
printf '<html><head><title>A cached page</title></head></html>' >"$work/cache/pages/f_000001"
"$cli" index --quiet "$work/cache/pages" >/dev/null
# A record from an earlier session: position 1500, 1200 twips.
printf '[General]\r\nShow Quick Start=No\r\nLast Major Version=99\r\nDirectory=%s\r\nTessaloom=00001500000012000001200000009000\r\n' \
  "$work/cache/pages" >"$work/data/Tessaloom/TSL.INI"
: >"$work/data/Tessaloom/folders.dat"

export HOME="$work" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/run"
socket=tessaloom-smoke
weston --backend=headless-backend.so --socket=$socket --width=1280 --height=800 \
  --idle-time=0 >"$work/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do
  [ -S "$work/run/$socket" ] && break
  kill -0 "$weston_pid" 2>/dev/null || { echo "weston did not start:"; cat "$work/weston.log"; exit 1; }
  sleep 0.1
done
[ -S "$work/run/$socket" ] || { echo "weston made no socket:"; cat "$work/weston.log"; exit 1; }

status=0
# The headless compositor has no seat (no keyboard, no pointer); Qt's own Wayland
# input method then fails on the missing seat when a focused text box draws its
# cursor, so the plain compose input method stands in. A real session has a seat.
env -u DISPLAY WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland QT_IM_MODULE=compose \
  "$work/program/tessaloom" >"$work/out" 2>"$work/err" || status=$?
cat "$work/out"
if [ -s "$work/err" ]; then
  echo "the program wrote to its error stream:"; cat "$work/err"; status=1
fi
ini=$work/data/Tessaloom/TSL.INI
grep -q '^Tessaloom=0000150000001200[0-9]\{16\}' "$ini" ||
  { echo "the main window's position was not kept:"; cat "$ini"; status=1; }
if grep -Eq '^View/Delete Wizard=(0000000000000000|-|[0-9]{8}-)' "$ini"; then
  echo "the wizard's record holds the position the compositor reports:"; cat "$ini"; status=1
fi
[ $status -eq 0 ] && echo "shown, wizard opened and closed, ended through File > Exit on Wayland"
exit $status
