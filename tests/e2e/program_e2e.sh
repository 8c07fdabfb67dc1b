#!/usr/bin/env bash
# program_e2e.sh PROGRAM: the whole program on a virtual X server, driven by the
# keyboard as a user would: first start with empty homes (Quick Start shown and
# closed, the offered drive search declined), a cache folder indexed from the
# main window with the browser and the wizard launched after it, two rows deleted
# with confirmation, the program closed. Then the files on disk, the rewritten
# page, TSL.INI and the browser call are checked. The default browser is a
# stand-in registered through a .desktop file and mimeapps.list in the test's own
# XDG homes, so the real xdg-open path is taken.
# Exit 77 (skipped) when xvfb-run, xdotool or xdg-open is missing.
set -euo pipefail

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
for tool in xvfb-run xdotool xdg-open; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done

if [ "${TSL_E2E_INNER:-0}" != 1 ]; then
  # Digits and lower case only: the path is typed, and a typed capital leaves
  # xdotool's Shift handling in a state where the next Alt chord can get lost.
  work=/tmp/tessaloom-e2e-$$-$RANDOM
  mkdir -m 700 "$work"
  keep=0
  trap '[ $keep = 1 ] || rm -rf "$work"' EXIT
  mkdir -p "$work/home" "$work/data/applications" "$work/cache" "$work/config" "$work/run" "$work/site"
  chmod 700 "$work/run"
  # The cached files: three pages and two pictures, a minute apart, oldest first.
  gif='GIF89a\001\000\001\000\200\000\000\000\000\000\377\377\377!\371\004\001\000\000\000\000,\000\000\000\000\001\000\001\000\000\002\002D\001\000;'
  i=0
  for name in first.htm second.htm third.htm pic1.gif pic2.gif; do
    case $name in
      *.htm) printf '<html><title>Title of %s</title></html>' "$name" >"$work/site/$name" ;;
      *.gif) printf "$gif" >"$work/site/$name" ;;
    esac
    touch -d "2026-01-01 10:0$i:00" "$work/site/$name"
    i=$((i + 1))
  done
  # The stand-in browser records what it was asked to open.
  cat >"$work/browser.sh" <<BROWSER
#!/bin/sh
printf '%s\n' "\$@" >>"$work/browser-calls"
BROWSER
  chmod +x "$work/browser.sh"
  printf '[Desktop Entry]\nType=Application\nName=Recording Browser\nExec=%s %%u\nMimeType=text/html;\n' \
    "$work/browser.sh" >"$work/data/applications/recording-browser.desktop"
  printf '[Default Applications]\ntext/html=recording-browser.desktop\nx-scheme-handler/file=recording-browser.desktop\n' \
    >"$work/config/mimeapps.list"

  status=0
  TSL_E2E_INNER=1 TSL_E2E_WORK=$work HOME=$work/home XDG_DATA_HOME=$work/data \
    XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run \
    XDG_CURRENT_DESKTOP= DESKTOP_SESSION= BROWSER= \
    xvfb-run -a -n "$(display_to_try)" -s '-screen 0 1280x800x24' "$0" "$program" || status=$?
  fail() { echo "FAIL: $*"; keep=1; echo "(kept $work)"; exit 1; }
  [ $status = 0 ] || fail "driving the program failed"

  # The two oldest rows were deleted; nothing else was.
  for name in first.htm second.htm; do [ ! -e "$work/site/$name" ] || fail "$name was not deleted"; done
  for name in third.htm pic1.gif pic2.gif '!ndex.htm'; do [ -f "$work/site/$name" ] || fail "$name is gone"; done
  page=$work/site/!ndex.htm
  grep -q 'href="third.htm"' "$page" || fail "the page lost a surviving entry"
  ! grep -q 'href="first.htm"\|href="second.htm"' "$page" || fail "the page still lists a deleted file"
  [ "$(grep -c '<TD align=center' "$page")" = 3 ] || fail "the page does not hold three entries"
  # The browser was asked to open the new page.
  [ -f "$work/browser-calls" ] || fail "the browser was not launched"
  grep -q 'ndex.htm' "$work/browser-calls" || fail "the browser got: $(cat "$work/browser-calls")"
  # The settings were written on exit.
  ini=$work/data/Tessaloom/TSL.INI
  [ -f "$ini" ] || fail "no TSL.INI"
  tr -d '\r' <"$ini" >"$work/ini.txt"
  for line in "Directory=$work/site" 'Launch Browser=True' 'Launch View/Delete Wizard=True' \
    'Show Quick Start=Yes'; do
    grep -qxF "$line" "$work/ini.txt" || fail "TSL.INI lacks '$line': $(cat "$work/ini.txt")"
  done
  grep -q '^Tessaloom=[-0-9]\{32\}$' "$work/ini.txt" || fail "no placement of the main window"
  grep -q '^View/Delete Wizard=[-0-9]\{32\}$' "$work/ini.txt" || fail "no placement of the wizard"
  echo "ok: indexed, browser launched, two files deleted with confirmation, settings written"
  exit 0
fi

# ---- inside the virtual X server ----
work=$TSL_E2E_WORK
"$program" >"$work/program.log" 2>&1 &
pid=$!
shot() { import -window root "$work/screen-$1.png" 2>/dev/null || true; }
die() { echo "$*" >&2; shot failure; kill "$pid" 2>/dev/null; exit 1; }
# Waits for a visible window whose title matches $1, gives it the keyboard, prints its id.
window() {
  local id=
  for _ in $(seq 150); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n 1) && [ -n "$id" ] && break
    kill -0 "$pid" 2>/dev/null || die "the program ended while waiting for '$1'"
    sleep 0.1
  done
  [ -n "$id" ] || die "no window '$1'"
  # No window manager runs: give the keyboard to the window directly.
  xdotool windowfocus --sync "$id" 2>/dev/null || true
  sleep 0.3
  echo "$id"
}
# Alt+key with Alt held a moment first: a chord sent in one go sometimes reaches
# the program as the bare letter.
alt() {
  xdotool keydown Alt_L
  sleep 0.2
  xdotool key "$1"
  sleep 0.1
  xdotool keyup Alt_L
  sleep 0.3
}
gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  die "window '$1' did not close"
}

# First start: Quick Start, closed by its button (Alt+C).
window '^Quick Start$' >/dev/null
alt c
gone '^Quick Start$'
# No suggested folders yet: decline the offered drive search.
window 'Search for Cache Folders' >/dev/null
xdotool key n
main=$(window '^Tessaloom$')
# Click into the folder box (its caption has no access key), type the folder.
xdotool mousemove --window "$main" 100 100 click 1
sleep 0.2
xdotool key ctrl+a
xdotool type --delay 5 "$work/site"
xdotool key Return
# Typing may remap scratch key codes; give the program time to take the keymap
# back before a key with Alt, or the Alt is lost.
sleep 1.5
# On along the tab order to "Launch View/Delete Wizard after indexing" (the
# browser is launched by default), tick it, then on to the button that creates
# the index. (Folder box, folder list, pattern, file list, suggestions, Refresh,
# minimum count, then the five option boxes.)
xdotool key --delay 60 Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab
xdotool key space
sleep 0.2
shot main
xdotool key Tab space
# The wizard opens after the build, over the new page; select its first two rows.
wizard=$(window '^View/Delete Wizard$')
xdotool key ctrl+Home shift+Down
sleep 0.2
shot wizard
alt f
xdotool key d
window '^Delete\?$' >/dev/null
shot confirm
xdotool key y
gone '^Delete\?$'
sleep 0.5
xdotool windowfocus --sync "$wizard" 2>/dev/null || true
alt f
xdotool key c
gone '^View/Delete Wizard$'
main=$(window '^Tessaloom$')
alt f
xdotool key x
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && die "the program did not end through File > Exit"
wait "$pid" || die "the program ended with status $?"
