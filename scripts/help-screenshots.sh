#!/usr/bin/env bash
# help-screenshots.sh [BUILD_DIR]
#
# Retakes the help's pictures of the windows (help/images/*.png) from the real
# program, built in BUILD_DIR (default build/default), on a virtual X server with a
# window manager, in throw-away data, cache and config homes: nothing of the user's
# own settings is read or touched. The program is driven by keystrokes, as a user
# would; a window that does not show keeps its old picture and is reported. Look at
# the pictures before committing them.
#
# Needs xvfb, xdotool, openbox, x11-utils and imagemagick (installed when missing
# and run as root).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build=$(realpath "${1:-build/default}")
program=$build/src/app/tessaloom
[ -x "$program" ] || { echo "no program at $program: build first" >&2; exit 2; }

if [ "${TSL_SHOTS_INNER:-0}" != 1 ]; then
  need=()
  for tool in xvfb-run:xvfb xdotool:xdotool openbox:openbox xwininfo:x11-utils xprop:x11-utils \
    import:imagemagick convert:imagemagick; do
    command -v "${tool%%:*}" >/dev/null || need+=("${tool#*:}")
  done
  if [ ${#need[@]} -gt 0 ]; then
    [ "$(id -u)" = 0 ] || { echo "install first: ${need[*]}" >&2; exit 2; }
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}"
  fi
  exec xvfb-run -a -s '-screen 0 1280x800x24' env TSL_SHOTS_INNER=1 "$0" "$build"
fi

out=$repo/help/images
work=$(mktemp -d /tmp/tessaloom-shots.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CACHE_HOME=$work/home/.cache
export XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_DATA_HOME/Tessaloom" "$XDG_CACHE_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# Plain English dates and a font every Debian desktop has.
export LANG=C.UTF-8 LC_ALL=C.UTF-8 TZ=UTC

# --- Sample caches ---------------------------------------------------------------
small=$XDG_CACHE_HOME/chromium/Default/Cache/Cache_Data
big=$XDG_CACHE_HOME/mozilla/firefox/x7k2q9d4.default-release/cache2/entries
mkdir -p "$small" "$big"
titles=(
  "Weather for Amsterdam - 10 day forecast" "Sourdough bread for beginners" "Train times: Utrecht to Leiden"
  "Local news - Tuesday" "How to repot an orchid" "The history of the bicycle" "Recipe: lentil soup"
  "Football results and tables" "Second-hand bookshop - new arrivals" "City library opening hours"
  "Photography tips: shooting at dusk" "Cheap flights to Lisbon" "Knitting patterns for winter"
  "Museum night programme" "Garden birds of Northern Europe" "Chess puzzles of the week"
)
colours=("#f2b134" "#e8554e" "#4fb286" "#4fa3d9" "#8e6bbf" "#e07b39")
day=0
for i in "${!titles[@]}"; do
  name=$(printf 'f_%06x' $((0x3a10 + i * 7)))
  printf '<html><head><title>%s</title></head><body><h1>%s</h1><p>%s</p></body></html>\n' \
    "${titles[$i]}" "${titles[$i]}" "$(printf 'text %.0s' $(seq 60))" >"$small/$name"
  touch -d "2026-11-$((10 + day)) $((8 + i % 10)):$((10 + i * 3 % 50)):00" "$small/$name"
  if [ $((i % 2)) = 0 ]; then
    pic=$(printf 'f_%06x' $((0x4b20 + i * 5)))
    convert -size 160x120 "gradient:${colours[$((i % 6))]}-${colours[$(((i + 2) % 6))]}" \
      -fill white -draw "circle 80,60 80,$((20 + i * 2))" "gif:$small/$pic"
    touch -d "2026-11-$((10 + day)) $((9 + i % 10)):$((5 + i * 7 % 50)):00" "$small/$pic"
  fi
  day=$(((day + 1) % 18))
done
printf 'function track(){return 1;}\n' >"$small/f_005c01"
touch -d "2026-11-27 14:02:00" "$small/f_005c01"
# Enough files for the progress window to be seen at work.
echo "$(date +%T) making the sample caches"
python3 - "$big" <<'EOF'
import os, sys
folder = sys.argv[1]
filler = "<p>cached text</p>"
for i in range(100000):
    with open(os.path.join(folder, "%016X" % (0x9E3779B97F4A7C15 * (i + 1) % (1 << 64))), "w") as f:
        f.write("<html><head><title>Cached page number %d</title></head><body>%s</body></html>" % (i, filler))
EOF

settings=$XDG_DATA_HOME/Tessaloom/TSL.INI
write_settings() { # DIRECTORY SHOW_QUICK_START LAUNCH_WIZARD
  printf '[General]\r\nDirectory=%s\r\nShow Quick Start=%s\r\nLaunch Browser=False\r\nLaunch View/Delete Wizard=%s\r\nLast Major Version=%s\r\n' \
    "$1" "$2" "$3" "$(sed -n 's/^project(Tessaloom VERSION \([0-9]*\).*/\1/p' "$repo/CMakeLists.txt")" >"$settings"
}

# --- Driving the windows ---------------------------------------------------------
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

window() { # TITLE -> id of the visible window of that exact title, or nothing
  xdotool search --onlyvisible --name "^$(sed 's/[][().*^$+?{}|\\]/\\&/g' <<<"$1")\$" 2>/dev/null | tail -n 1
}
wait_window() { # TITLE [SECONDS]
  local id
  for _ in $(seq $((${2:-10} * 20))); do
    id=$(window "$1")
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.05
  done
  echo "no window \"$1\" showed" >&2
  return 1
}
wait_gone() { # ID
  for _ in $(seq 200); do
    xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable' || return 0
    sleep 0.05
  done
}
press() { # ID KEYS...
  local id=$1
  shift
  xdotool windowactivate --sync "$id" 2>/dev/null || true
  xdotool key --clearmodifiers --delay 80 "$@"
}
shot() { # ID NAME: the window with its frame
  local id=$1 name=$2 x y w h left=0 right=0 top=0 bottom=0 extents
  sleep "${3:-0.8}" # let a slide or a first paint finish
  xwininfo -id "$id" >/dev/null 2>&1 || return 1
  eval "$(xwininfo -id "$id" | awk '/Absolute upper-left X/{print "x="$NF} /Absolute upper-left Y/{print "y="$NF}
    /^  Width/{print "w="$NF} /^  Height/{print "h="$NF}')"
  extents=$(xprop -id "$id" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p' | tr -d ' ')
  [ -n "$extents" ] && IFS=, read -r left right top bottom <<<"$extents"
  import -window root "$work/root.png"
  convert "$work/root.png" -crop "$((w + left + right))x$((h + top + bottom))+$((x - left))+$((y - top))" \
    +repage "$out/$name.png"
  echo "$(date +%T) took $name.png ($((w + left + right))x$((h + top + bottom)))"
}

# First start, without a suggested-folder list: Quick Start, then the offer to
# search. The search of this machine's disks is cancelled once it has been seen.
write_settings "$small" Yes True
"$program" >"$work/run1.log" 2>&1 &
pids+=($!)
if id=$(wait_window "Quick Start" 20); then
  shot "$id" quick-start 1.5
  press "$id" Return
  wait_gone "$id"
fi
if id=$(wait_window "Search for Cache Folders?" 10); then
  press "$id" Return
  if sid=$(wait_window "Searching for Suggested Cache Folders  ..." 10); then
    shot "$sid" folders-search 0.5
    press "$sid" alt+c
    wait_gone "$sid"
  fi
fi
main=$(wait_window "Tessaloom" 30) && { sleep 0.5; press "$main" alt+f x; }
wait "${pids[-1]}" 2>/dev/null || true

# The list a search of the sample caches would give, then the main window, About,
# an index build and the wizard on the small cache.
{
  printf '%s\r\n' "$XDG_CACHE_HOME/chromium/Default/Cache" "$small" "$big"
} >"$XDG_DATA_HOME/Tessaloom/folders.dat"
write_settings "$small" No True
"$program" >"$work/run2.log" 2>&1 &
pids+=($!)
if main=$(wait_window "Tessaloom" 20); then
  sleep 1
  shot "$main" main-window
  press "$main" alt+h a
  if id=$(wait_window "About Tessaloom" 5); then
    shot "$id" about
    press "$id" Escape
    wait_gone "$id"
  fi
  press "$main" alt+c
  if wid=$(wait_window "View/Delete Wizard" 30); then
    sleep 1
    press "$wid" Home shift+Down shift+Down
    shot "$wid" wizard 0.5
    press "$wid" alt+f d
    if id=$(wait_window "Delete?" 5); then
      shot "$id" confirm-delete
      press "$id" n
      wait_gone "$id"
    fi
    press "$wid" alt+f c
    wait_gone "$wid"
  fi
  main=$(wait_window "Tessaloom" 10) && press "$main" alt+f x
fi
wait "${pids[-1]}" 2>/dev/null || true

# Last: a big cache, to see the progress window at work.
echo "$(date +%T) indexing the big cache"
write_settings "$big" No False
"$program" >"$work/run3.log" 2>&1 &
pids+=($!)
if main=$(wait_window "Tessaloom" 20); then
  sleep 1
  press "$main" alt+c
  for _ in $(seq 200); do
    # The progress window carries the program's name too; it is the one that is not
    # the main window.
    progress=$(xdotool search --onlyvisible --name '^(Tessaloom|Building !ndex files\.\.\.)$' 2>/dev/null |
      grep -vx "$main" | tail -n 1 || true)
    [ -n "$progress" ] && break
    sleep 0.05
  done
  if [ -n "$progress" ]; then
    shot "$progress" progress 0.6 || echo "the progress window closed before its picture" >&2
    wait_gone "$progress"
  else
    echo "the progress window did not show" >&2
  fi
  main=$(wait_window "Tessaloom" 20) && press "$main" alt+f x
fi
wait "${pids[-1]}" 2>/dev/null || true
echo "$(date +%T) done"
ls -l "$out"
