#!/usr/bin/env bash
# release.sh: TovaraSetup.exe from the maintainer's four program files, checked, signed and
# proven by an installation under Wine.
#
#   scripts/release.sh --plugin FILE --console FILE --card FILE --core FILE --out DIR
#                      [--sign FILE.p12] [--skip-smoke]
#
# The inputs are checked before anything is built (payload/check_payload.py) and copied, under
# fixed names, into the folder the program is built in (build/release, made afresh;
# TOVARA_RELEASE_BUILD names another), so no character of their paths reaches the build.
# With --sign the program is signed (Authenticode, SHA-256) with the key and certificate of the
# PKCS#12 file, whose password is read from TOVARA_SIGN_PASSWORD (may be empty), and the
# signature is verified against that certificate. Unless --skip-smoke, the finished program
# installs once under Wine, in a fresh host folder, through the end-to-end harness, and must
# write every file as it should.
#
# The release files (TovaraSetup.exe, SHA256SUMS, release.txt, and the picture of the smoke
# installation) are made in a hidden staging folder beside them (.tovara-release.* in DIR, or
# in its nearest existing parent when DIR is new) and moved into DIR only when every step has
# passed. On any failure the exit status is non-zero, DIR is left exactly as it was (an
# earlier release there stays whole) and the last line says so.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

usage() {
  cat >&2 <<'EOF'
usage: scripts/release.sh --plugin FILE --console FILE --card FILE --core FILE --out DIR
                          [--sign FILE.p12] [--skip-smoke]
       (the PKCS#12 file's password in TOVARA_SIGN_PASSWORD, which may be empty)
EOF
  exit 2
}
fail() { echo "release: $*" >&2; exit 1; }

declare -A input=()
out= sign= sign_given=0 smoke=1
while [ $# -gt 0 ]; do
  case $1 in
    --plugin|--console|--card|--core)
      [ $# -ge 2 ] || usage; input[${1#--}]=$2; shift 2 ;;
    --out) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
    --sign) [ $# -ge 2 ] || usage; sign=$2; sign_given=1; shift 2 ;;
    --skip-smoke) smoke=0; shift ;;
    *) echo "release: unknown argument $1" >&2; usage ;;
  esac
done
[ -n "$out" ] || usage
kinds=(plugin console card core)
for k in "${kinds[@]}"; do [ -n "${input[$k]:-}" ] || usage; done
absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
out=$(absolute "$out")

# Nothing in DIR changes before the publishing step at the end; until then a failure only
# removes the staging folder. (A run killed outright, kill -9, leaves that hidden folder.)
stage= moving=0
on_exit() {
  local rc=$?
  [ -z "$stage" ] || rm -rf "$stage"
  if [ "$rc" -ne 0 ]; then
    if [ "$moving" == 1 ]; then
      echo "release: moving the new release into $out failed part way; it may hold files of both releases (sha256sum -c SHA256SUMS there tells whether the program is the one it lists)" >&2
    else
      echo "release: failed; $out is left as it was" >&2
    fi
  fi
}
trap on_exit EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# A signing option that names nothing is a mistake, never a request for an unsigned release.
[ "$sign_given" == 0 ] || [[ ! $sign =~ ^[[:space:]]*$ ]] ||
  fail "--sign names no file (leave --sign out for an unsigned release)"
build=$(absolute "${TOVARA_RELEASE_BUILD:-$top/build/release}")
# The build folder is removed before each build: DIR must not be in it.
case "$(realpath -m "$out")/" in
  "$(realpath -m "$build")"/*) fail "--out $out: inside the build folder $build, which every release removes" ;;
esac
[ ! -e "$out" ] || [ -d "$out" ] || fail "--out $out: not a folder"
published=(TovaraSetup.exe SHA256SUMS release.txt smoke-installing.png)
for f in "${published[@]}"; do
  [ -L "$out/$f" ] || [ ! -d "$out/$f" ] || fail "--out $out: $f there is a folder"
done

# The staging folder: on the file system of DIR, so that each finished file moves into DIR by
# one rename. Made first, which also proves DIR (or the parent it will be made in) writable.
base=$out
while [ ! -e "$base" ] && [ ! -L "$base" ]; do base=$(dirname "$base"); done
[ -d "$base" ] || fail "--out $out: $base is not a folder"
stage=$(mktemp -d "$base/.tovara-release.XXXXXX" 2>/dev/null) || { stage=; fail "--out $out: cannot write in $base"; }

# --- inputs, before anything is built ----------------------------------------------------
# Each is checked and the bytes that passed are copied under a fixed name: the build sees
# those copies only, never a path of the maintainer's (a ';' splits a CMake list, quotes and
# spaces are the shell's), nor a file changed after its check.
declare -A facts=() fixed=([plugin]=plugin.dll [console]=console.exe [card]=card.exe [core]=core.dll)
bad=0
python=/usr/bin/python3   # Debian's, as the build uses
[ -x "$python" ] || python=python3
mkdir "$stage/inputs"
for k in "${kinds[@]}"; do
  input[$k]=$(absolute "${input[$k]}")
  facts[$k]=$("$python" "$top/payload/check_payload.py" --name "--$k" \
                --copy-to "$stage/inputs/${fixed[$k]}" "$k" "${input[$k]}") || bad=1
done
[ "$bad" == 0 ] || exit 1

# The tools (Debian packages, installed when missing) and the locale data Wine runs need.
bash "$top/scripts/setup.sh" >"${TMPDIR:-/tmp}/tovara-release-setup.$$.log" 2>&1 ||
  { cat "${TMPDIR:-/tmp}/tovara-release-setup.$$.log" >&2; fail "scripts/setup.sh failed"; }
rm -f "${TMPDIR:-/tmp}/tovara-release-setup.$$.log"
if [ "$smoke" == 1 ]; then
  # (in a subshell: the environment it sets is for the smoke installation only)
  # The smoke installation runs the shipped program, the i386 one, whatever this machine runs.
  why=$(export TOVARA_TARGET=i386; source "$top/scripts/wine-env.sh" 2>/dev/null
        tovara_wine_runs || echo "$TOVARA_WINE_WHY")
  [ -z "$why" ] || fail "the smoke installation needs Wine, which cannot run here: $why (--skip-smoke makes a release without it)"
fi

export TOVARA_SIGN_PASSWORD=${TOVARA_SIGN_PASSWORD:-}
# p12 ARGS...: openssl pkcs12 on the signing file (again with the legacy ciphers that older
# exports use, when the first reading fails).
p12() {
  openssl pkcs12 -in "$sign" -passin env:TOVARA_SIGN_PASSWORD "$@" 2>/dev/null ||
    openssl pkcs12 -legacy -in "$sign" -passin env:TOVARA_SIGN_PASSWORD "$@" 2>/dev/null
}
if [ -n "$sign" ]; then
  sign=$(absolute "$sign")
  [ -f "$sign" ] && [ -r "$sign" ] || fail "--sign $sign: no such readable file"
  p12 -nokeys -clcerts >/dev/null ||
    fail "--sign $sign: cannot be read as PKCS#12 with the password in TOVARA_SIGN_PASSWORD"
  # (the key only passes through a pipe, never into a file; grep -c reads all of it)
  p12 -nocerts -nodes | grep -c 'PRIVATE KEY' >/dev/null || fail "--sign $sign: holds no private key"
  p12 -nokeys -clcerts | grep -c 'BEGIN CERTIFICATE' >/dev/null || fail "--sign $sign: holds no certificate"
fi

# --- build --------------------------------------------------------------------------------
rm -rf "$build"
mkdir -p "$build"
mv "$stage/inputs" "$build/inputs"
declare -A carried=()
for k in "${kinds[@]}"; do carried[$k]=$build/inputs/${fixed[$k]}; done
echo "release: building in $build"
targets=(TovaraSetup)
[ "$smoke" == 1 ] && targets+=(observer fake_host_gui list_processes)
if ! { cmake -S "$top" -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
         -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" \
         -DTOVARA_PLUGIN_PAYLOAD="${carried[plugin]}" -DTOVARA_CONSOLE_PAYLOAD="${carried[console]}" \
         -DTOVARA_CARD_PAYLOAD="${carried[card]}" -DTOVARA_CORE_PAYLOAD="${carried[core]}" &&
       cmake --build "$build" --target "${targets[@]}" -j "$(nproc)"; } >"$build/build.log" 2>&1; then
  tail -20 "$build/build.log" >&2
  fail "the build failed (log: $build/build.log)"
fi
exe=$stage/TovaraSetup.exe

# --- signature ----------------------------------------------------------------------------
if [ -n "$sign" ]; then
  echo "release: signing"
  p12 -nokeys >"$build/signing-certs.pem"
  p12 -nokeys -clcerts | openssl x509 -out "$build/signer.pem"
  unsigned=$build/TovaraSetup.exe
  # A password goes to osslsigncode on its input rather than on its command line, where any
  # user could read it; an empty one cannot be read that way. Named /dev/stdin: osslsigncode's
  # own "-" failed on one of our machines ("Failed to read password from file: -").
  if [ -n "$TOVARA_SIGN_PASSWORD" ]; then
    printf '%s' "$TOVARA_SIGN_PASSWORD" | osslsigncode sign -pkcs12 "$sign" -readpass /dev/stdin -h sha256 \
      -in "$unsigned" -out "$exe" >"$build/sign.log" 2>&1
  else
    osslsigncode sign -pkcs12 "$sign" -pass "" -h sha256 -in "$unsigned" -out "$exe" \
      >"$build/sign.log" 2>&1
  fi || { cat "$build/sign.log" >&2; fail "signing failed"; }
  osslsigncode verify -in "$exe" -CAfile "$build/signing-certs.pem" >"$build/verify.log" 2>&1 &&
    grep -q '^Signature verification: ok' "$build/verify.log" ||
    { cat "$build/verify.log" >&2; fail "the signature does not verify against the signing certificate"; }
  signer=$(openssl x509 -in "$build/signer.pem" -noout -subject -nameopt oneline,-esc_msb | sed 's/^subject=//')
  fingerprint=$(openssl x509 -in "$build/signer.pem" -noout -fingerprint -sha256 | sed 's/.*=//')
  thumbprint=$(openssl x509 -in "$build/signer.pem" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
else
  cp "$build/TovaraSetup.exe" "$exe"
fi
(cd "$stage" && sha256sum TovaraSetup.exe >SHA256SUMS)

# --- smoke installation -------------------------------------------------------------------
if [ "$smoke" == 1 ]; then
  echo "release: smoke installation under Wine (about 80 s)"
  if ! TOVARA_TARGET=i386 TOVARA_ROOT=$top TOVARA_EXE=$exe TOVARA_HELPERS=$build/helpers \
       TOVARA_CARRIED=$build/payload E2E_SHOTS=$stage \
       bash "$top/scripts/smoke-install.sh" "${carried[plugin]}" "${carried[console]}" \
         "${carried[card]}" "${carried[core]}" >"$build/smoke.log" 2>&1; then
    grep -E '^(not ok|# )' "$build/smoke.log" >&2 || tail -20 "$build/smoke.log" >&2 || true
    fail "the smoke installation failed (log: $build/smoke.log)"
  fi
fi

# --- release.txt --------------------------------------------------------------------------
sha() { sha256sum "$1" | cut -c1-64; }
size() { stat -c %s "$1"; }
commit=$(git -C "$top" rev-parse --short=12 HEAD 2>/dev/null || echo unknown)
[ -z "$(git -C "$top" status --porcelain 2>/dev/null)" ] || commit="$commit, with uncommitted changes"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
sum=0
for k in "${kinds[@]}"; do sum=$((sum + $(size "${carried[$k]}"))); done
{
  echo "TovaraSetup $version release, made $(date -u '+%Y-%m-%d %H:%M UTC') from commit $commit"
  echo
  echo "Inputs"
  for k in "${kinds[@]}"; do
    printf '  %-10s %s\n' "--$k" "${input[$k]}"
    printf '  %-10s %s bytes, SHA-256 %s\n' "" "$(size "${carried[$k]}")" "$(sha "${carried[$k]}")"
    printf '  %-10s %s\n' "" "${facts[$k]}"
  done
  echo "  the four together: $sum bytes"
  echo
  echo "TovaraSetup.exe"
  echo "  $(size "$exe") bytes, SHA-256 $(sha "$exe")"
  awk -v e="$(size "$exe")" -v s="$sum" 'BEGIN {
    printf "  %.3f x the four inputs (%+d bytes; it also carries the data texts and the font)\n", e / s, e - s }'
  echo
  echo "Signature"
  if [ -n "$sign" ]; then
    echo "  Authenticode, SHA-256, no timestamp; verified with osslsigncode against the signing certificate"
    echo "  signer: $signer"
    echo "  certificate SHA-256 fingerprint: $fingerprint"
    echo "  certificate thumbprint (SHA-1, as Windows shows it): $thumbprint"
  else
    echo "  not signed"
  fi
  echo
  echo "Smoke installation"
  if [ "$smoke" == 1 ]; then
    echo "  passed: under Wine in a fresh host folder, one click on the install button; exit code 0;"
    echo "  the four programs written byte for byte as the inputs; the three data files byte for byte"
    echo "  as made from the source texts, apart from the build;"
    echo "  picture of the window on the way: smoke-installing.png"
  else
    echo "  skipped (--skip-smoke)"
  fi
} >"$stage/release.txt"

# --- publish ------------------------------------------------------------------------------
# Every step passed: the finished files replace the earlier release's, each by one rename on
# one file system, so no file in DIR is ever missing or half written. The renames together are
# not one step; hang-ups and interrupts are held off while they run, and only a run killed
# outright between two of them (kill -9, power loss) can leave a mix. Their order makes a mix
# harmless: SHA256SUMS, the seal of the release, moves last. Until it has moved, the earlier
# SHA256SUMS either still verifies the earlier program beside it or refuses the new one, and
# release.txt gives the SHA-256 of its own program; a mix is never taken for a release, and
# the next run replaces it whole. (DIR itself is not swapped for the staging folder: it may
# hold other files of the maintainer's, and a folder exchange in one step needs renameat2.)
# A release without a smoke picture removes an earlier one, which would show another program.
mkdir -p "$out"
trap '' HUP INT TERM
moving=1
if [ -f "$stage/smoke-installing.png" ]; then
  mv -f -T "$stage/smoke-installing.png" "$out/smoke-installing.png"
else
  rm -f "$out/smoke-installing.png"
fi
for f in release.txt TovaraSetup.exe SHA256SUMS; do mv -f -T "$stage/$f" "$out/$f"; done
moving=0
exe=$out/TovaraSetup.exe
echo "release: $out/TovaraSetup.exe ($(size "$exe") bytes)$([ -n "$sign" ] && echo ", signed by $signer")"
