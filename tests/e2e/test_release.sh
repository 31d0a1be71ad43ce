#!/usr/bin/env bash
# A release as the maintainer makes it: scripts/release.sh on real compiled programs (the
# real-like inputs from Debian's wine32), signed with a throwaway certificate made here, with
# its smoke installation under Wine. The download verifies (SHA256SUMS, the signature against
# the certificate), release.txt names the signer, the inputs and the passed installation, and
# the installation wrote the four inputs byte for byte. The inputs lie in a folder whose name
# holds a ';', spaces, quotes and Chinese characters. A second release of the same inputs,
# unsigned, is byte for byte the signed program without its signature: the build is
# reproducible and signing only appends. A third, whose signing fails after the build (the
# second's, reused), leaves the first release in its folder byte for byte as it was.
source "$(dirname "$0")/lib.sh"
tmp=$(mktemp -d "${TMPDIR:-/tmp}/tovara-release.XXXXXX")
kept=   # the smoke installation's folder, kept for a look at the host folder
trap 'rm -rf "$tmp" ${kept:+"$kept"}' EXIT
release=$TOVARA_ROOT/scripts/release.sh

in="$tmp/in; the maintainer's \"files\" 发布"
bash "$TOVARA_ROOT/scripts/real-like-inputs.sh" "$in" || bail "real-like inputs made"
inputs=(--plugin "$in/plugin.dll" --console "$in/console.exe" --card "$in/card.exe"
        --core "$in/core.dll")

# The throwaway certificate: self-signed, its key only inside the password-protected file.
password="test-$RANDOM$RANDOM"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$tmp/key.pem" -out "$tmp/cert.pem" -days 2 \
  -subj "/CN=Tovara release test/O=Tovara tests" 2>/dev/null &&
  openssl pkcs12 -export -inkey "$tmp/key.pem" -in "$tmp/cert.pem" -out "$tmp/test.p12" \
    -passout "pass:$password" || bail "test certificate made"
rm -f "$tmp/key.pem"

# run_release LOG ARGS...: sets RC.
run_release() {
  local log=$1
  shift
  RC=0
  bash "$release" "${inputs[@]}" "$@" >"$log" 2>&1 || RC=$?
  [ "$RC" == 0 ] || sed 's/^/#   /' "$log" | tail -20
}

# snapshot DIR: every entry under DIR (hidden ones too) with the SHA-256 of each file.
snapshot() {
  (cd "$1" && find . -mindepth 1 -printf '%y %p\n' | LC_ALL=C sort &&
     find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum)
}

# The smoke installation runs the shipped i386 program under Wine, as release.sh decides it;
# where that Wine cannot run, the rest is still proven.
smoke=()
why=$(export TOVARA_TARGET=i386; source "$TOVARA_ROOT/scripts/wine-env.sh" 2>/dev/null
      tovara_wine_runs || echo "$TOVARA_WINE_WHY")
if [ -n "$why" ]; then
  skip_part "the smoke installation of the i386 release and its checks: $why"
  smoke=(--skip-smoke)
  TOVARA_RELEASE_BUILD=$tmp/build0 run_release "$tmp/no-smoke.log" --out "$tmp/no-smoke" >/dev/null
  check "without --skip-smoke the release is refused up front: Wine cannot run the i386 program here" \
    bash -c "[ $RC != 0 ] && grep -q 'needs Wine, which cannot run here' '$tmp/no-smoke.log' &&
             [ ! -e '$tmp/build0' ] && [ ! -e '$tmp/no-smoke' ]"
fi

signed=$tmp/signed
TOVARA_SIGN_PASSWORD=$password TOVARA_RELEASE_BUILD=$tmp/build1 E2E_KEEP=1 \
  run_release "$tmp/signed.log" --out "$signed" --sign "$tmp/test.p12" "${smoke[@]}"
kept=$(sed -n 's/^# kept //p' "$tmp/build1/smoke.log" 2>/dev/null | tail -1 || true)
case $kept in "${TMPDIR:-/tmp}"/tovara-smoke-install.*) ;; *) kept= ;; esac
check_eq "the signed release with its smoke installation succeeds, the inputs' paths odd" 0 "$RC"
[ "$RC" == 0 ] || e2e_finish
check "SHA256SUMS lists TovaraSetup.exe and verifies" \
  bash -c "cd '$signed' && grep -q ' TovaraSetup.exe\$' SHA256SUMS && sha256sum -c --strict --quiet SHA256SUMS"
check "the signature verifies against the test certificate" \
  bash -c "osslsigncode verify -in '$signed/TovaraSetup.exe' -CAfile '$tmp/cert.pem' | grep -q '^Signature verification: ok'"
check "release.txt names the signer" \
  grep -qxF '  signer: CN = Tovara release test, O = Tovara tests' "$signed/release.txt"
for f in plugin.dll console.exe card.exe core.dll; do
  check "release.txt lists $f with its size and SHA-256" grep -qF \
    "$(stat -c %s "$in/$f") bytes, SHA-256 $(sha256sum "$in/$f" | cut -c1-64)" "$signed/release.txt"
done
check "release.txt names the plugin by the path given" grep -qxF "  --plugin   $in/plugin.dll" "$signed/release.txt"
# The smoke installation: its report, its picture and the host folder it left.
if [ ${#smoke[@]} -eq 0 ]; then
  check "release.txt reports the smoke installation passed" grep -q '^  passed: ' "$signed/release.txt"
  check "the picture of the installation is beside release.txt" test -s "$signed/smoke-installing.png"
  if [ -n "$kept" ] && [ -d "$kept/host" ]; then
    i=0
    for f in plugin.dll console.exe card.exe core.dll; do
      i=$((i + 1))
      installed=$(expected_payloads "$kept/host" | sed -n "${i}p" | cut -f2)
      check "installed $(basename "$installed"): byte for byte the input $f" \
        same_bytes "$in/$f" "$installed"
    done
  else
    check "the smoke installation's host folder was kept for a look" false
  fi
fi

unsigned=$tmp/unsigned
TOVARA_RELEASE_BUILD=$tmp/build2 run_release "$tmp/unsigned.log" --out "$unsigned" --skip-smoke
check_eq "a second release of the same inputs, unsigned and without smoke, succeeds" 0 "$RC"
check "release.txt of the second says not signed, smoke skipped" \
  bash -c "grep -qx '  not signed' '$unsigned/release.txt' && grep -qx '  skipped (--skip-smoke)' '$unsigned/release.txt'"
osslsigncode remove-signature -in "$signed/TovaraSetup.exe" -out "$tmp/stripped.exe" >/dev/null 2>&1 || true
check "the signed program without its signature is byte for byte the unsigned release" \
  same_bytes "$unsigned/TovaraSetup.exe" "$tmp/stripped.exe"

# A failure late in the run, after the build: the signing tool breaks off, having written part
# of its output. The first release stays whole, and nothing of the failed one is left. (The
# build is the second release's, reused by a stand-in cmake: a third build proves nothing here.)
mkdir -p "$tmp/late"
cat >"$tmp/late/cmake" <<SH
#!/bin/sh
[ "\$1" != --build ] || cp "$tmp/build2/TovaraSetup.exe" "\$2/TovaraSetup.exe"
SH
cat >"$tmp/late/osslsigncode" <<'SH'
#!/bin/sh
[ "$1" = sign ] || exec /usr/bin/osslsigncode "$@"
while [ $# -gt 1 ]; do [ "$1" = -out ] && printf 'MZ, part of a program' >"$2"; shift; done
echo "osslsigncode: the signing key went away" >&2
exit 1
SH
chmod +x "$tmp/late/cmake" "$tmp/late/osslsigncode"
before=$(snapshot "$signed")
PATH="$tmp/late:$PATH" TOVARA_SIGN_PASSWORD=$password TOVARA_RELEASE_BUILD=$tmp/build3 \
  run_release "$tmp/failed.log" --out "$signed" --sign "$tmp/test.p12" --skip-smoke >/dev/null
check "a release whose signing fails fails" test "$RC" -ne 0
check "it got as far as signing" grep -q 'signing failed' "$tmp/failed.log"
check_eq "the earlier release in its folder is byte for byte as it was, nothing added" \
  "$before" "$(snapshot "$signed")"
check_eq "it says the folder is left as it was" "release: failed; $signed is left as it was" \
  "$(tail -1 "$tmp/failed.log")"
e2e_finish
