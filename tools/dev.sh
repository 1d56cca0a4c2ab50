#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and then starts Varnix beside a virtual
# board (run) or runs
# every test (test): once in a release build with warnings as errors, once
# under AddressSanitizer and UndefinedBehaviorSanitizer, those that start
# threads under ThreadSanitizer, and then each parser under clang's
# libFuzzer for a while.
set -euo pipefail
cd "$(dirname "$0")/.."

# clang and its runtime libraries for libFuzzer, which GCC does not have; a
# font that every machine draws the same, for the tests of text in a block;
# a real serial server for the tests of network ports; python3's XML reader
# for the tests of the JUnit report; a private D-Bus session, the
# accessibility bus, its Python client and a virtual display, for reading the
# window as a screen reader does; the toolchains that build and run exported
# code (Python with pyserial, avr-gcc with the Arduino core and Debian's
# arduino-builder, which builds a sketch as docs/export.md tells a user to,
# simavr, socat to join its serial port to a board); FreeType and fontconfig
# for bitmap fonts, and the bitmap fonts the tests draw (misc-fixed, Terminus,
# Unifont as PCF) with Debian's converters of them both ways (bdftopcf,
# pcf2bdf); labgrid's pytest plugin, for the test of the fleet's labgrid
# recipe as Debian's labgrid runs it.
packages=(cmake g++ make qt6-base-dev qt6-serialport-dev libgl-dev desktop-file-utils dpkg-dev lintian appstream
          clang libclang-rt-14-dev fonts-dejavu-core ser2net python3 dbus at-spi2-core python3-pyatspi xvfb xauth
          python3-serial gcc-avr avr-libc binutils-avr arduino-core-avr arduino-builder simavr libsimavr-dev socat
          libfreetype-dev libfontconfig-dev xfonts-base xfonts-terminus xfonts-unifont xfonts-utils pcf2bdf
          python3-labgrid)
# update-mime-database, for the package check of the scripts' MIME type.
packages+=(shared-mime-info)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Unity builds: Qt's headers are most of what a file costs to compile, and
# compiling files together parses them once a batch rather than once a file.
build() { # dir, build type, extra cmake args... [--target targets...]
  local dir=$1 type=$2; shift 2
  local args=() targets=()
  while [ $# -gt 0 ] && [ "$1" != --target ]; do args+=("$1"); shift; done
  [ $# -gt 0 ] && targets=("$@")
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="$type" -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=16 \
    "${args[@]}" >/dev/null
  cmake --build "$dir" -j2 "${targets[@]}"
}

case "${1:-}" in
  run)
    build build Release -DVARNIX_TESTS=OFF
    # A virtual board beside Varnix, ended with it: Open on port 1 reaches it
    # when no USB adapter is plugged in.
    ./build/varnix-board &
    board=$!
    trap 'kill $board 2>/dev/null || true' EXIT
    ./build/varnix
    ;;
  test)
    build build Release -DVARNIX_WERROR=ON
    QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j2
    # Unoptimised: the sanitizers' checks cost less to compile that way, and
    # they find the same faults; their reports need only the line numbers.
    build build-sanitize Debug -DVARNIX_WERROR=ON -DVARNIX_SANITIZE=ON -DVARNIX_BENCH=OFF -DCMAKE_CXX_FLAGS_DEBUG=-g1
    QT_QPA_PLATFORM=offscreen ctest --test-dir build-sanitize --output-on-failure -j2
    # The tests that start threads (a fleet's boards, the pseudo-terminals'
    # readers) under ThreadSanitizer, any report failing them: only those
    # tests and the program they run are built, at -O1, which its checks
    # need to run at a bearable pace, with just the line numbers its reports
    # name.
    build build-tsan Debug -DVARNIX_WERROR=ON -DVARNIX_TSAN=ON -DVARNIX_BENCH=OFF \
      -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" --target varnix_tests varnix
    QT_QPA_PLATFORM=offscreen ctest --test-dir build-tsan --output-on-failure -j2
    # About 12 seconds a parser, two at a time, on copies of their corpora
    # (fuzz/corpus), which CTest replays in every build above.
    # With warnings as errors, as the gcc builds: clang warns of what gcc lets pass.
    build build-fuzz RelWithDebInfo -DVARNIX_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DVARNIX_WERROR=ON
    tools/fuzz.sh build-fuzz 12
    ;;
  pictures)
    # The virtual board's display after each drawing page (build/pictures),
    # and the pictures of the windows, of the Load Text and Load Picture
    # dialogs, of the export, of the monitor and of the screen editor
    # (docs/images).
    build build Release -DVARNIX_BENCH=OFF
    QT_QPA_PLATFORM=offscreen ./build/varnix_pictures pages build/pictures
    QT_QPA_PLATFORM=offscreen ./build/varnix_pictures readme docs/images
    QT_QPA_PLATFORM=offscreen ./build/varnix_pictures dialogs docs/images
    ;;
  *)
    echo "usage: tools/dev.sh run|test|pictures" >&2
    exit 2
    ;;
esac
