#!/usr/bin/env bash
# check-package.sh BUILD_DIR: builds the .deb from a configured and built tree and
# checks it: the files it installs, its dependencies, the program folder unpacked
# into a scratch root (the link, the libraries, the help), the desktop entry, the
# AppStream entry (appstreamcli) and the package as a whole (lintian: no errors).
set -euo pipefail
build=$(cd "${1:?usage: check-package.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$work"/out/tessaloom_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no tessaloom_*.deb was built"
echo "built $(basename "$deb") ($(du -k "$deb" | cut -f1) kB)"

# What it holds.
dpkg-deb -c "$deb" | awk '{print $6 ($7 ? " " $7 " " $8 : "")}' | sed 's|^\./|/|' >"$work/contents"
for f in /usr/lib/tessaloom/tessaloom /usr/lib/tessaloom/ClickBg.wav /usr/lib/tessaloom/message2.wav \
  /usr/lib/tessaloom/help/index.html /usr/lib/tessaloom/modules/tessaloom-thumbnails.so /usr/bin/tessaloom-cli \
  /usr/share/applications/tessaloom.desktop /usr/share/icons/hicolor/scalable/apps/tessaloom.svg \
  /usr/share/icons/hicolor/48x48/apps/tessaloom.png /usr/share/icons/hicolor/256x256/apps/tessaloom.png \
  /usr/share/doc/tessaloom/copyright /usr/share/doc/tessaloom/changelog.Debian.gz \
  /usr/share/man/man1/tessaloom.1.gz /usr/share/man/man1/tessaloom-cli.1.gz \
  /usr/share/metainfo/tessaloom.metainfo.xml; do
  grep -qx "$f" "$work/contents" || fail "the package lacks $f"
done
grep -qx '/usr/bin/tessaloom -> ../lib/tessaloom/tessaloom' "$work/contents" ||
  fail "/usr/bin/tessaloom is not a link to the program folder"
if grep -Eq 'test|gtest|bench' "$work/contents"; then
  fail "the package holds test or benchmark files: $(grep -E 'test|gtest|bench' "$work/contents" | head -n 3)"
fi

# What it needs: the Qt runtime found from the program's links, and the browser opener.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for p in libqt6widgets6 libqt6core6 libc6 libcanberra0 xdg-utils; do
  grep -Eq "(^|, )$p( |,|$)" <<<"$depends" || fail "Depends lacks $p"
done
# Two short sounds must not bring a media framework (FFmpeg, GStreamer) along.
grep -q 'multimedia' <<<"$depends" && fail "Depends names Qt Multimedia: $depends"
for field in Maintainer Homepage; do
  dpkg-deb -f "$deb" "$field" | grep -q '\.example' && fail "$field is a placeholder"
done
[ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] || fail "wrong architecture"

# Unpacked into a scratch root: the link leads to the program, which finds all its
# libraries, and the help and sounds lie beside it.
dpkg-deb -x "$deb" "$work/root"
program=$(readlink -f "$work/root/usr/bin/tessaloom")
[ "$program" = "$work/root/usr/lib/tessaloom/tessaloom" ] || fail "the link leads to $program"
file -b "$program" | grep -q 'ELF.*executable' || fail "the program is not an executable: $(file -b "$program")"
file -b "$program" | grep -q 'not stripped' && fail "the program is not stripped"
if ldd "$program" | grep -q 'not found'; then fail "missing libraries: $(ldd "$program" | grep 'not found')"; fi
# The command-line tool loads its thumbnail scaler from the program folder.
module=$work/root/usr/lib/tessaloom/modules/tessaloom-thumbnails.so
if ldd "$module" | grep -q 'not found'; then fail "the thumbnails module lacks: $(ldd "$module" | grep 'not found')"; fi
readelf -d "$work/root/usr/bin/tessaloom-cli" | grep -q 'RUNPATH.*\[\$ORIGIN/../lib/tessaloom/modules\]' ||
  fail "tessaloom-cli does not look for its module in the program folder"
ldd "$work/root/usr/bin/tessaloom-cli" | grep -qi 'qt6' && fail "tessaloom-cli links Qt at start"
file -b "$module" | grep -q 'not stripped' && fail "the thumbnails module is not stripped"
"$work/root/usr/bin/tessaloom-cli" --help >/dev/null || fail "tessaloom-cli does not start"
for page in "$work"/root/usr/lib/tessaloom/help/*.html; do
  # Every picture and page a help page links to is in the package.
  grep -o -E '(src|href)="[^"#:]+' "$page" | sed -E 's/^(src|href)="//' | while read -r target; do
    [ -e "$(dirname "$page")/$target" ] || fail "$(basename "$page") links to missing $target"
  done
done

desktop-file-validate "$work/root/usr/share/applications/tessaloom.desktop" ||
  fail "the desktop entry does not validate"
grep -qx 'Exec=tessaloom' "$work/root/usr/share/applications/tessaloom.desktop" ||
  fail "the desktop entry does not start tessaloom"
# Debian's own checks.
root=$work/root
head -n 1 "$root/usr/share/doc/tessaloom/copyright" |
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not in the machine-readable format"
zcat "$root/usr/share/doc/tessaloom/changelog.Debian.gz" | head -n 1 |
  grep -q "^tessaloom ($(dpkg-deb -f "$deb" Version))" ||
  fail "changelog.Debian.gz does not start with this version"
for page in tessaloom tessaloom-cli; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page(1): $warnings"
done
# The CLI's page is written from its help texts: every option they name is on it.
cli_page=$(zcat "$root/usr/share/man/man1/tessaloom-cli.1.gz" | sed 's/\\-/-/g')
for command in index list search; do
  { "$root/usr/bin/tessaloom-cli" "$command" --help 2>&1 | grep -o -E -- '--[a-z][a-z-]*' || true; } | sort -u |
    while read -r option; do
      [ "$option" = --help ] || grep -q -- "$option" <<<"$cli_page" ||
        fail "tessaloom-cli(1) does not describe $command $option"
    done
  grep -q "^\.SS $command\$" <<<"$cli_page" || fail "tessaloom-cli(1) has no section for $command"
done
command -v appstreamcli >/dev/null || fail "appstreamcli missing (apt-get install appstream)"
# The component's id is the program's name (as its desktop entry and its Wayland
# app id), not a reversed domain: the project has no domain of its own to reverse.
# Every other finding, warnings included, fails the check.
appstreamcli validate --no-net --override=cid-desktopapp-is-not-rdns=info \
  "$root/usr/share/metainfo/tessaloom.metainfo.xml" ||
  fail "the AppStream entry does not validate"
command -v lintian >/dev/null || fail "lintian missing (apt-get install lintian)"
suppress=""
# A package built without a maintainer named (TESSALOOM_MAINTAINER, DEBEMAIL) is
# signed by the local builder, maybe root on a host without a domain: lintian's
# objections to that address are the builder's to settle, not the package's.
if dpkg-deb -f "$deb" Maintainer | grep -q '^Tessaloom local build <'; then
  suppress="--suppress-tags root-in-contact,bogus-mail-host,bogus-mail-host-in-debian-changelog,malformed-contact"
fi
lintian --tag-display-limit 0 $suppress "$deb" >"$work/lintian.log" 2>&1 || true
grep -v 'running with root privileges' "$work/lintian.log" || true
if grep -q '^E: ' "$work/lintian.log"; then fail "lintian reports errors"; fi
echo "package checks passed"
