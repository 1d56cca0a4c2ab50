#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the .deb that CPack built: what it holds, what it depends on, that
# lintian and appstreamcli find nothing to say, that its desktop entry
# validates, that the programs in it start, that the manual pages and --help
# name the same options, and that `cmake --install` installs the same files.
#   check_deb.sh PACKAGE_DIR BUILD_DIR VERSION
set -euo pipefail
dir=$1 build=$2 version=$3
deb=$(ls "$dir"/varnix_"$version"_*.deb | head -n 1)
fail() { echo "FAIL: $*" >&2; exit 1; }
id=org.varnix.Varnix

files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' | sort)
for path in bin/varnix bin/varnix-board share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
            share/applications/$id.ScreenEditor.desktop share/mime/packages/$id.xml \
            share/icons/hicolor/32x32/apps/$id.png share/icons/hicolor/256x256/apps/$id.png \
            share/man/man1/varnix.1.gz share/man/man1/varnix-board.1.gz \
            share/doc/varnix/copyright share/doc/varnix/changelog.gz share/doc/varnix/manual.md; do
  grep -qx "$path" <<<"$files" || fail "$path is not in $deb"
done

depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libqt6serialport6 qt6-qpa-plugins; do
  grep -q "$package" <<<"$depends" || fail "Depends lacks $package: $depends"
done

# Every tag lintian shows, info included, is printed; errors and warnings fail.
lintian --allow-root --info --fail-on error,warning "$deb" || fail "lintian finds errors or warnings"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root/deb"
usr=$root/deb/usr
desktop-file-validate "$usr/share/applications/$id.desktop" || fail "the desktop entry does not validate"
# Scripts (.vnx) are a MIME type of their own, as the desktop's own tool reads
# it, and the screen editor's entry opens them.
desktop-file-validate "$usr/share/applications/$id.ScreenEditor.desktop" ||
  fail "the screen editor's desktop entry does not validate"
mkdir -p "$root/mime/packages"
cp "$usr/share/mime/packages/$id.xml" "$root/mime/packages/"
update-mime-database "$root/mime" || fail "the MIME type of scripts does not read"
grep -qx 'application/x-varnix-script:\*\.vnx' "$root/mime/globs" || fail "*.vnx is not application/x-varnix-script"
grep -qx 'MimeType=application/x-varnix-script;' "$usr/share/applications/$id.ScreenEditor.desktop" ||
  fail "the screen editor's desktop entry does not open scripts"
grep -qx 'Exec=varnix --edit %f' "$usr/share/applications/$id.ScreenEditor.desktop" ||
  fail "the screen editor's desktop entry does not start the editor on the file"
appstreamcli validate --no-net --strict "$usr/share/metainfo/$id.metainfo.xml" || fail "the metainfo does not validate"
appstreamcli validate-tree --no-net --strict "$root/deb" || fail "the metainfo and desktop entry do not agree"

# One version: the programs, the changelog's newest entry and the newest release
# of the metainfo all carry the project's.
[ "$("$usr/bin/varnix" --version)" = "Varnix $version" ] || fail "the packaged program does not start"
[ "$("$usr/bin/varnix-board" --version)" = "Varnix virtual board $version" ] || fail "the packaged board does not start"
[ "$(zcat "$usr/share/doc/varnix/changelog.gz" | head -n 1 | sed -n 's/^varnix (\([^)]*\)).*/\1/p')" = "$version" ] ||
  fail "the changelog's newest entry is not $version"
release=$(grep -o '<release [^>]*version="[^"]*"' "$usr/share/metainfo/$id.metainfo.xml" | head -n 1 | sed 's/.*version="//; s/"$//')
[ "$release" = "$version" ] || fail "the metainfo's newest release is $release, not $version"
head -n 1 "$usr/share/doc/varnix/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not machine-readable"

# The options --help lists are the ones its manual page names, and back; a
# line of an example that starts the other program names that one's options.
for program in varnix varnix-board; do
  other=varnix-board; [ "$program" = varnix-board ] && other=varnix
  help_options=$("$usr/bin/$program" --help | grep -oE '^  --?[a-z][a-z-]*' | tr -d ' ' | sort -u)
  page_options=$(zcat "$usr/share/man/man1/$program.1.gz" | sed 's/\\-/-/g' | grep -vE "^$other( |$)" |
                 grep -oE '(^|[^a-z-])--[a-z][a-z-]*' |
                 grep -oE -- '--[a-z][a-z-]*' | sort -u)
  [ -n "$help_options" ] || fail "$program --help lists no options"
  [ "$help_options" = "$page_options" ] ||
    fail "$program: --help and the manual page name different options:
$(diff <(echo "$help_options") <(echo "$page_options"))"
done

# cmake --install puts the same files in place as the package.
cmake --install "$build" --prefix "$root/prefix" >/dev/null
installed=$(cd "$root/prefix" && find . ! -type d | sed 's|^\./||' | sort)
[ "$installed" = "$files" ] || fail "cmake --install and the package differ:
$(diff <(echo "$files") <(echo "$installed"))"
echo "ok: $(basename "$deb")"
