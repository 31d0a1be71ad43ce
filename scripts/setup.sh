#!/usr/bin/env bash
# Installs, idempotently, every Debian package the build, the release, the demo, the tests
# and the benchmark need. Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

PACKAGES=(
  cmake make g++ googletest
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine32:i386 wine64 xvfb xdotool x11-utils imagemagick fonts-wqy-zenhei locales
  python3 python3-fonttools opentype-sanitizer procps time file util-linux
  osslsigncode openssl
  lzma-dev nsis
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

SUDO=""
[ "$(id -u)" = 0 ] || SUDO="sudo"

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  echo "setup: all packages present"
fi

# The zh_CN.UTF-8 locale the Wine runs need (ANSI code page 936), compiled into a private
# folder so nothing system-wide changes.
top=$(cd "$(dirname "$0")/.." && pwd)
locdir="$top/build/locale"
if [ ! -d "$locdir/zh_CN.UTF-8" ]; then
  mkdir -p "$locdir"
  localedef -i zh_CN -f UTF-8 "$locdir/zh_CN.UTF-8" || true
fi
