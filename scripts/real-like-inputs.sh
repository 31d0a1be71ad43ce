#!/usr/bin/env bash
# real-like-inputs.sh DIR: four real compiled 32-bit Windows programs, close to the release's
# kinds and sizes, for size figures and release tests where the stand-ins are poor data (they
# compress far better than real code). They are Wine's own i386 programs and libraries from
# Debian's wine32 package, stripped; nothing of the plugin. Writes DIR/plugin.dll,
# DIR/console.exe, DIR/card.exe and DIR/core.dll; the same package gives the same bytes.
set -euo pipefail
out=${1:?usage: real-like-inputs.sh DIR}
src=/usr/lib/i386-linux-gnu/wine/i386-windows
strip=i686-w64-mingw32-strip
mkdir -p "$out"
for pick in plugin.dll:jscript.dll console.exe:regedit.exe card.exe:taskmgr.exe core.dll:user32.dll; do
  name=${pick%%:*}; from=$src/${pick#*:}
  [ -f "$from" ] || { echo "real-like-inputs: $from missing (install wine32:i386)" >&2; exit 1; }
  # strip stamps the PE header with the current time unless told a date: keep the original's.
  pe=$(od -An -tu4 -j60 -N4 "$from")
  SOURCE_DATE_EPOCH=$(od -An -tu4 -j$((pe + 8)) -N4 "$from" | tr -d ' ') "$strip" -o "$out/$name" "$from"
done
