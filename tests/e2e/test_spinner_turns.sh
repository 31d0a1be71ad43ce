#!/usr/bin/env bash
# The spinner during the installation, read from SpinnerLabel's caption: one glyph of the
# icon font's private-use range per 30 ms tick, U+E052 upwards, the last code U+E0CB never
# shown, a blank of about 280 ms between turns, one turn about every 3.94 s. The run is ended
# after two turns; what it writes is not looked at here.
#
# Overrides (see lib.sh): TOVARA_EXE, TOVARA_HELPERS.
source "$(dirname "$0")/lib.sh"
e2e_begin

host=$E2E_TMP/host
make_host_dir "$host"
mkdir -p "$host/plugin" "$host/config"
log=$E2E_TMP/install.log
run_installer_observed "$host" "$log"
wait_window_shown "$log" 30 || bail "the installer window is shown"
W=$WINDOW
sleep 0.5
click_install "$log" "$W"
wait_log "$log" '正在初始化插件安装' 10 || bail "the installation starts on the click"
sleep 9   # two turns and a bit, inside the first 16 s of checks (only Delay runs there)
obs_install captions "$log" "$W" "$RECT_SPINNER" >"$E2E_TMP/spinner.txt"
end_installer "$log"

python3 - "$E2E_TMP/spinner.txt" >"$E2E_TMP/spinner-checks.txt" <<'PY'
import sys
seen = []
for line in open(sys.argv[1], encoding='utf-8'):
    t, _, text = line.rstrip('\n').partition('\t')
    seen.append((int(t), text))
seen = [s for s in seen if s[1] != '']          # before the start the caption is empty
out = []
def result(ok, what):
    out.append('%s\t%s' % ('ok' if ok else 'not ok', what))
glyphs = [(t, ord(x)) for t, x in seen if len(x) == 1 and x != ' ']
others = [x for t, x in seen if not (len(x) == 1)]
result(not others, 'every caption is one character (%d captions seen)' % len(seen))
codes = [c for _, c in glyphs]
result(bool(codes) and all(0xE052 <= c <= 0xE0CA for c in codes),
       'glyphs lie in U+E052..U+E0CA (seen %s..%s)' % (
           hex(min(codes)) if codes else '-', hex(max(codes)) if codes else '-'))
result(0xE0CB not in codes, 'U+E0CB is never shown')
# Within a turn the code only goes up, by one per tick. The observer (5 ms polls) misses a
# tick whenever the machine holds it up, so only half the steps it sees need be +1 and none
# may skip more than three glyphs. A spinner that steps by two every 60 ms keeps its turn's
# length but shows no +1 step at all.
ups = [b - a for a, b in zip(codes, codes[1:]) if b >= a]
ones = sum(1 for d in ups if d == 1)
result(bool(ups) and all(1 <= d <= 4 for d in ups) and ones * 2 >= len(ups),
       'within a turn each glyph follows the one before (%d of %d steps are +1)'
       % (ones, len(ups)))
# Turns: a blank between the end of one and U+E052 of the next. A turn begins with the first
# glyph after the blank (or the first glyph of all): U+E052, or one of the next three when the
# observer's poll missed a 30 ms tick; the 280 ms blank itself is never missed.
starts = []
for i, (t, x) in enumerate(seen):
    if len(x) == 1 and x != ' ' and (not starts and i == 0 or i and seen[i - 1][1] == ' '):
        if 0xE052 <= ord(x) <= 0xE055:
            starts.append(t - 30 * (ord(x) - 0xE052))
blanks = []
for i, (t, x) in enumerate(seen):
    if x == ' ' and i + 1 < len(seen):
        blanks.append((t, seen[i + 1][0] - t, seen[i - 1][1] if i else ''))
result(len(starts) >= 2, 'at least two turns begin in 9 s (%d)' % len(starts))
periods = [b - a for a, b in zip(starts, starts[1:])]
result(bool(periods) and all(3940 * 0.85 <= p <= 3940 * 1.2 for p in periods),
       'one turn every 3.94 s, -15 %%/+20 %% (%s ms)' % ', '.join(map(str, periods)))
result(bool(blanks) and all(180 <= d <= 450 for _, d, _ in blanks),
       'the blank between turns stays about 280 ms (%s ms)'
       % ', '.join(str(d) for _, d, _ in blanks))
result(bool(blanks) and all(len(p) == 1 and ord(p) >= 0xE0C0 for _, _, p in blanks),
       'the blank follows the end of a turn (%s)'
       % ', '.join(hex(ord(p)) if len(p) == 1 else repr(p) for _, _, p in blanks))
print('\n'.join(out))
PY
while IFS=$'\t' read -r status what; do
  if [ "$status" == ok ]; then check "$what" true; else check "$what" false; fi
done <"$E2E_TMP/spinner-checks.txt"
e2e_finish
