#!/usr/bin/env bash
# real-like-inputs.sh DIR: four real compiled 32-bit Windows programs, close to the release's
# kinds and sizes, for size figures and release tests where the stand-ins are poor data (they
# compress far better than real code). They are Wine's own i386 programs and libraries from
# Debian's wine32 package, stripped; nothing of the plugin. Writes DIR/plugin.dll,
# DIR/console.exe, DIR/card.exe and DIR/core.dll; the same package gives the same bytes.
# SET 2 picks a second set, so that size figures are not tuned to one: wine32's comctl32.dll,
# regedit.exe and wordpad.exe, and the MinGW-w64 i686 cross compiler's libstdc++ DLL.
set -euo pipefail
out=${1:?usage: real-like-inputs.sh DIR [SET]}
set_=${2:-1}
src=/usr/lib/i386-linux-gnu/wine/i386-windows
strip=i686-w64-mingw32-strip
mkdir -p "$out"
if [ "$set_" == 2 ]; then
  stdcxx=$(ls /usr/lib/gcc/i686-w64-mingw32/*/libstdc++-6.dll 2>/dev/null | sort | head -1)
  picks=("plugin.dll:$src/comctl32.dll" "console.exe:$src/regedit.exe" "card.exe:$src/wordpad.exe"
         "core.dll:${stdcxx:-libstdc++-6.dll}")
else
  picks=("plugin.dll:$src/jscript.dll" "console.exe:$src/regedit.exe" "card.exe:$src/taskmgr.exe"
         "core.dll:$src/user32.dll")
fi
for pick in "${picks[@]}"; do
  name=${pick%%:*}; from=${pick#*:}
  [ -f "$from" ] || { echo "real-like-inputs: $from missing (install wine32:i386 and g++-mingw-w64-i686)" >&2; exit 1; }
  # strip stamps the PE header with the current time unless told a date: keep the original's.
  pe=$(od -An -tu4 -j60 -N4 "$from")
  SOURCE_DATE_EPOCH=$(od -An -tu4 -j$((pe + 8)) -N4 "$from" | tr -d ' ') "$strip" -o "$out/$name" "$from"
done
