#!/usr/bin/env bash
# Checks the .deb that CPack built: what it holds, what it depends on, that
# its desktop entry validates and that the program in it starts.
set -euo pipefail
dir=$1
deb=$(ls "$dir"/varnix_*.deb | head -n 1)
fail() { echo "FAIL: $*" >&2; exit 1; }

contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/varnix ./usr/bin/varnix-board ./usr/share/applications/org.varnix.Varnix.desktop \
            ./usr/share/icons/hicolor/32x32/apps/org.varnix.Varnix.png ./usr/share/icons/hicolor/256x256/apps/org.varnix.Varnix.png; do
  grep -q " $path\$" <<<"$contents" || fail "$path is not in $deb"
done

depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libqt6serialport6 qt6-qpa-plugins; do
  grep -q "$package" <<<"$depends" || fail "Depends lacks $package: $depends"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/org.varnix.Varnix.desktop" || fail "the desktop entry does not validate"
[ "$("$root/usr/bin/varnix" --version)" = "Varnix 1.2" ] || fail "the packaged program does not start"
[ "$("$root/usr/bin/varnix-board" --version)" = "Varnix virtual board 1.2" ] || fail "the packaged board does not start"
echo "ok: $(basename "$deb")"
