#!/usr/bin/env bash
# TovaraSetup.exe as shipped: PE32 i386 GUI program, statically linked (only Windows' known
# libraries imported: any other name would be looked up in the program's own folder at
# start-up), with its manifest and version, no build paths inside, and reproducible: a second
# clean build in another folder gives the same bytes.
set -uo pipefail
root=${TOVARA_ROOT:?}
exe=$root/build/win32/TovaraSetup.exe
fails=0; passes=0
check() { if eval "$2"; then echo "ok - $1"; passes=$((passes+1)); else echo "not ok - $1"; fails=$((fails+1)); fi; }

[ -f "$exe" ] || { echo "missing $exe (build the win32 preset first)"; exit 1; }
info=$(file -b "$exe")
check "PE32 i386 GUI program" '[[ "$info" == PE32\ executable\ \(GUI\)\ Intel\ 80386* ]]'
dlls=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
bad=$(echo "$dlls" | grep -v -x -E 'kernel32.dll|user32.dll|gdi32.dll|shell32.dll|ole32.dll|msvcrt.dll|advapi32.dll' || true)
check "imports only known libraries (got: $(echo $dlls))" '[ -z "$bad" ]'
# Wine maps a section from the file only when it starts on a page of the file; any other is
# read into private memory at start-up, which for the carried files is most of the image.
carried_at=$(i686-w64-mingw32-objdump -h "$exe" | awk '$2 == ".carried" { print $6 }')
check "the carried files start on a page of the file (offset 0x${carried_at:-none})" \
  '[ -n "$carried_at" ] && [ $((0x$carried_at % 4096)) -eq 0 ]'
check "no build path in the image" '! grep -a -q -e "$root" -e "/build/" "$exe"'
check "manifest asks for asInvoker" 'grep -a -q "level=\"asInvoker\"" "$exe"'
check "manifest lists supported systems" 'grep -a -q "supportedOS Id" "$exe"'
# The version block is UTF-16: look for "1.3.1" and the product name's first characters.
ver=$(printf '1\0.\0003\0.\0001\0' | od -An -tx1 | tr -d ' \n')
check "version resource 1.3.1" 'od -An -tx1 -v "$exe" | tr -d " \n" | grep -q "$ver"'
prod=$(printf 'Tovara插件安装程序' | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 | tr -d ' \n')
check "product name Tovara插件安装程序" 'od -An -tx1 -v "$exe" | tr -d " \n" | grep -q "$prod"'

second=$(mktemp -d /tmp/tovara-repro.XXXXXX)
trap 'rm -rf "$second"' EXIT
cp -a "$root/." "$second/src" 2>/dev/null || true
rm -rf "$second/src/build" "$second/src/.git"
cmake -S "$second/src" -B "$second/src/build/win32" -DCMAKE_TOOLCHAIN_FILE="$second/src/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
if cmake --build "$second/src/build/win32" --target TovaraSetup -j2 >"$second/build.log" 2>&1; then
  check "a second clean build elsewhere gives the same bytes" 'cmp -s "$exe" "$second/src/build/win32/TovaraSetup.exe"'
else
  tail -20 "$second/build.log"
  check "second build" false
fi
echo "$passes passed, $fails failed"
[ "$fails" -eq 0 ]
