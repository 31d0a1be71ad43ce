#!/usr/bin/env bash
# The size and unpacking figures of bench/run.sh (bench/run.sh size runs only these): the
# installer built with real compiled programs as its four carried programs (the real-like
# inputs of scripts/real-like-inputs.sh), beside an NSIS 3 installer (Debian's makensis,
# SetCompressor /SOLID lzma) carrying the same eight files, and the time and peak memory of
# the program's own unpack step, with the files compressed and stored.
#
# Two input sets, each beside its own NSIS installer, so that the figures are not tuned to one.
# Builds, all in build/bench-size: the win32 program with the real-like inputs (packed; and
# stored when Wine runs here; and packed with the second set) and the native unpack_bench with the same inputs (packed and
# stored). unpack_bench (bench/unpack_bench.cpp) runs the program's own UnpackCarried: under
# Wine the Windows build, natively the same code compiled for Linux.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
out=$top/build/bench-size
mkdir -p "$out"
slog=$out/size.log
: >"$slog"
inputs=$out/inputs
inputs2=$out/inputs-2
bash scripts/real-like-inputs.sh "$inputs" >>"$slog" 2>&1 &&
  bash scripts/real-like-inputs.sh "$inputs2" 2 >>"$slog" 2>&1 || { echo "real-like inputs missing (see $slog)"; exit 1; }
# payloads DIR: the four programs of one input set, as build options.
payloads() {
  echo "-DTOVARA_PLUGIN_PAYLOAD=$1/plugin.dll -DTOVARA_CONSOLE_PAYLOAD=$1/console.exe" \
       "-DTOVARA_CARD_PAYLOAD=$1/card.exe -DTOVARA_CORE_PAYLOAD=$1/core.dll"
}
payload_dir=$inputs

# build KIND win32|native ON|OFF TARGET...: a build folder of its own with the real-like inputs
# of $payload_dir.
build() {
  local dir=$out/$1 platform=$2 compress=$3
  shift 3
  local toolchain=()
  [ "$platform" == win32 ] && toolchain=(-DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake")
  cmake -S "$top" -B "$dir" "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release -DTOVARA_COMPRESS="$compress" \
    $(payloads "$payload_dir") >>"$slog" 2>&1 &&
    nice cmake --build "$dir" -j2 --target "$@" >>"$slog" 2>&1 ||
    { echo "build $1 failed (see $slog)"; exit 1; }
}

# Wine runs here when a 32-bit program can be started at all.
wine_runs=0
if command -v wine >/dev/null; then
  # shellcheck source=../scripts/wine-env.sh
  source "$top/scripts/wine-env.sh" 2>/dev/null
  # The bench programs are i386: a Wine that only runs the x86-64 twin cannot start them.
  tovara_i386_runs && tovara_wine_prefix >>"$slog" 2>&1 && wine cmd /c exit >>"$slog" 2>&1 && wine_runs=1
fi

build win32-packed win32 ON TovaraSetup unpack_bench
build native-packed native ON unpack_bench
build native-stored native OFF unpack_bench
[ "$wine_runs" == 1 ] && build win32-stored win32 OFF unpack_bench
payload_dir=$inputs2 build win32-packed-2 win32 ON TovaraSetup

# nsis_size SET INPUTS BUILD: an NSIS installer of the same eight files as the build: the four
# programs and the build's data texts and font as they are carried. Prints its size.
nsis_size() {
  local carried=$3/payload nsis=$out/nsis-$1 f files
  mkdir -p "$nsis"
  files=("$2/plugin.dll" "$2/console.exe" "$2/card.exe" "$2/core.dll"
         "$carried/default_config.ini" "$carried/fortune.txt" "$carried/teasers.ini" "$carried/spinner.ttf")
  {
    echo 'Unicode true'
    echo 'SetCompressor /SOLID lzma'
    echo "OutFile \"$nsis/installer.exe\""
    echo 'Name "Tovara"'
    echo 'InstallDir "$EXEDIR"'
    echo 'RequestExecutionLevel user'
    echo 'Section'
    echo 'SetOutPath "$INSTDIR"'
    for f in "${files[@]}"; do echo "File \"$f\""; done
    echo 'SectionEnd'
  } >"$nsis/setup.nsi"
  makensis -V2 "$nsis/setup.nsi" >>"$slog" 2>&1 || { echo "makensis failed (see $slog)" >&2; exit 1; }
  stat -c %s "$nsis/installer.exe"
}
nsis_size2=$(nsis_size 2 "$inputs2" "$out/win32-packed-2") || exit 1
nsis_size=$(nsis_size 1 "$inputs" "$out/win32-packed") || exit 1

raw=0
for f in "$inputs"/{plugin.dll,console.exe,card.exe,core.dll} \
         "$out"/win32-packed/payload/{default_config.ini,fortune.txt,teasers.ini,spinner.ttf}; do
  raw=$((raw + $(stat -c %s "$f")))
done
exe=$(stat -c %s "$out/win32-packed/TovaraSetup.exe")
exe2=$(stat -c %s "$out/win32-packed-2/TovaraSetup.exe")
packed=0
for f in "$out"/win32-packed/payload/packed/*.bin; do packed=$((packed + $(stat -c %s "$f"))); done
ratio=$(awk -v a="$exe" -v b="$nsis_size" 'BEGIN { printf "%.3f", a / b }')
ratio2=$(awk -v a="$exe2" -v b="$nsis_size2" 'BEGIN { printf "%.3f", a / b }')
goal() { awk -v r="$1" 'BEGIN { print (r <= 0.97) ? "goal <= 0.97 x: meets" : "goal <= 0.97 x: misses" }'; }

kb() { awk -v a="$1" 'BEGIN { printf "%.1f KB", a / 1024 }'; }
mb() { awk -v a="$1" 'BEGIN { printf "%.2f MB", a / 1048576 }'; }
row() { printf '%-44s %-30s %s\n' "$1" "$2" "${3:-}"; }

# unpack_figures EXE [wine]: the unpack_bench lines of one build.
unpack_figures() {
  if [ "${2:-}" == wine ]; then wine "$1" 5 2>/dev/null | tr -d '\r'; else "$1" 5; fi
}
native_packed=$(unpack_figures "$out/native-packed/bench/unpack_bench")
native_stored=$(unpack_figures "$out/native-stored/bench/unpack_bench")
wine_packed='' wine_stored=''
if [ "$wine_runs" == 1 ]; then
  wine_packed=$(unpack_figures "$out/win32-packed/bench/unpack_bench.exe" wine)
  wine_stored=$(unpack_figures "$out/win32-stored/bench/unpack_bench.exe" wine)
fi
field() { echo "$1" | awk -v n="$2" -v k="$3" '$1 == "unpack" && $2 == n { print $k } $1 == n { print $2 }'; }

echo "Sizes and unpacking, measured $(date -u '+%Y-%m-%d %H:%M UTC'), real-like inputs (scripts/real-like-inputs.sh;"
echo "the second input set: its set 2)"
echo
row "figure" "measured" "reference / target"
row "raw inputs (8 files)" "$raw bytes ($(kb "$raw"))" ""
row "TovaraSetup.exe" "$exe bytes ($(kb "$exe"))" "NSIS 3 /SOLID lzma: $nsis_size bytes ($(kb "$nsis_size"))"
row "  ratio to NSIS" "$ratio x" "$(goal "$ratio")"
row "  packed blocks" "$packed bytes ($(awk -v a="$packed" -v b="$raw" 'BEGIN { printf "%.1f %%", 100 * a / b }') of raw)" ""
row "  program's own overhead" "$((exe - packed)) bytes ($(kb $((exe - packed))))" ""
row "TovaraSetup.exe, second input set" "$exe2 bytes ($(kb "$exe2"))" "NSIS 3 /SOLID lzma: $nsis_size2 bytes ($(kb "$nsis_size2"))"
row "  ratio to NSIS, second input set" "$ratio2 x" "$(goal "$ratio2")"
for n in DefaultConfigText FortuneText TeaserData SpinnerFont PluginPayload ConsolePayload CardPayload CorePayload; do
  w="n/a"
  [ -n "$wine_packed" ] && w="$(field "$wine_packed" "$n" 6) ms"
  row "unpack $n" "$(field "$native_packed" "$n" 4) -> $(field "$native_packed" "$n" 3) bytes" \
    "median: Wine $w, native $(field "$native_packed" "$n" 6) ms (stored: $(field "$native_stored" "$n" 6) ms)"
done
for kind in packed stored; do
  n=native_$kind; w=wine_$kind
  wine_mem="n/a"
  [ -n "${!w}" ] && wine_mem="$(mb "$(field "${!w}" peak_memory_bytes 2)") (before $(mb "$(field "${!w}" peak_memory_before_bytes 2)"))"
  row "peak memory, every file unpacked ($kind)" "Wine $wine_mem" \
    "native $(mb "$(field "${!n}" peak_memory_bytes 2)") (before $(mb "$(field "${!n}" peak_memory_before_bytes 2)"))"
done
[ "$wine_runs" == 1 ] || echo "(Wine cannot start a 32-bit program on this machine: its figures are n/a)"
