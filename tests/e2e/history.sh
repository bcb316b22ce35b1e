#!/usr/bin/env bash
# A server's history end to end: a live log, a copy saved without clearing
# and the log after a clear, given in any order, against info, sessions and
# busy written by hand; the same log twice with its warning; copies that
# disagree and files that interleave, each a message naming both files and
# status 2; a 30-day sample cut as archives hold it against the single
# log's busy, users and capacity; the port list beside the live log alone.
source "${VELMAR_SOURCE_DIR:?}/tests/e2e/lib.sh"

# answer ARGS...: velmar-log in $work with TZ unset (so the zone is SGT-8);
# output in $work/a.out, messages in $work/a.err, the status as its own.
answer() { (cd "$work" && unset TZ && exec "$tool" "$@") >"$work/a.out" 2>"$work/a.err"; }

# answer_ok LABEL ARGS...: an answer that must succeed without messages.
answer_ok() {
  local label=$1
  shift
  answer "$@" || fail "$label: status $?: $(cat "$work/a.err")"
  [ ! -s "$work/a.err" ] || fail "$label: wrote to stderr: $(cat "$work/a.err")"
}

# same_as LABEL FILE: the last answer's output is FILE, whole.
same_as() { diff -u "$2" "$work/a.out" >"$work/diff.txt" || { fail "$1"; head -20 "$work/diff.txt"; }; }

# ---- A saved copy, an overlap and a clear, written by hand ----
# a: the log up to 10:00 (SGT); b: a copy taken at 11:00 without clearing
# (records 3 and 4 in both); c: the log after a clear at 12:00.
{
  rec 1 2026-12-08T00:00:00Z 7036 Spooler running
  rec 2 2026-12-08T01:00:00Z 20017 DIALUP alice COM1
  rec 3 2026-12-08T01:30:00Z 20017 DIALUP bob COM2
  rec 4 2026-12-08T02:00:00Z 20050 DIALUP alice COM1 d t d t 60 0
} | mklog "$work/a"
{
  rec 3 2026-12-08T01:30:00Z 20017 DIALUP bob COM2
  rec 4 2026-12-08T02:00:00Z 20050 DIALUP alice COM1 d t d t 60 0
  rec 5 2026-12-08T02:30:00Z 20050 DIALUP bob COM2 d t d t 60 0
  rec 6 2026-12-08T03:00:00Z 7036 Spooler stopped
} | mklog "$work/b"
{
  rec 1 2026-12-08T04:00:00Z 6005 EventLog
  rec 2 2026-12-08T04:30:00Z 20017 DIALUP carol COM1
  rec 3 2026-12-08T05:00:00Z 20050 DIALUP carol COM1 d t d t 30 0
} | mklog "$work/c"
logs=(c/SysEvent.Evt b/SysEvent.Evt a/SysEvent.Evt)
answer_ok "info of a history" info "${logs[@]}"
same_as "info of a history" "$expected/history-info.txt"
answer_ok "sessions of a history" sessions "${logs[@]}" --format csv
same_as "sessions of a history" "$expected/history-sessions.csv"
answer_ok "busy of a history" busy "${logs[@]}" --lines 2 --format csv
same_as "busy of a history" "$expected/history-busy.csv"
answer_ok "info of a history as CSV" info "${logs[@]}" --format csv
[ "$(cut -d, -f2,10-14 "$work/a.out" | tr '\n' ' ')" = \
  "file,join,shared_records,gap_seconds,same_as,added_records a/SysEvent.Evt,first,,,,4 b/SysEvent.Evt,overlap,2,,,2 c/SysEvent.Evt,gap,,3600,,3 " ] ||
  fail "info as CSV: $(cat "$work/a.out")"
answer_ok "info of a history as JSON" info "${logs[@]}" --format json
[ "$(jq -c '[.histories[] | [.computer, .files, .records, .connects, .users]]' "$work/a.out")" = \
  '[["RAS1",3,9,3,3]]' ] || fail "info as JSON: $(cat "$work/a.out")"

# The same log twice counts once, and says so.
answer sessions a/SysEvent.Evt a/SysEvent.Evt --format csv || fail "the same log twice: status"
[ "$(cat "$work/a.err")" = "velmar-log: warning: a/SysEvent.Evt holds the same records as a/SysEvent.Evt: they count once" ] ||
  fail "the same log twice: $(cat "$work/a.err")"
{ [ "$(sed -n 2p "$work/a.out")" = "$(sed -n 2p "$expected/history-sessions.csv")" ] &&
  [ "$(wc -l <"$work/a.out")" = 3 ]; } || fail "the same log twice: $(cat "$work/a.out")"

# d: b with another user in record 4; e: numbers restarted inside a's time.
sed 's/DIALUP,alice,COM1,d,t/DIALUP,dave,COM1,d,t/' "$work/b/log.csv" |
  tail -n +2 | mklog "$work/d"
{
  rec 1 2026-12-08T00:30:00Z 7036 Spooler running
  rec 2 2026-12-08T02:30:00Z 7036 Spooler stopped
} | mklog "$work/e"
while IFS='|' read -r message args; do
  read -ra argv <<<"$args"
  got=0
  answer "${argv[@]}" || got=$?
  [ "$got" = 2 ] || fail "velmar-log $args: status $got, not 2"
  [ "$(cat "$work/a.err")" = "$message" ] || fail "velmar-log $args: $(cat "$work/a.err")"
  # Nothing was read: at most a CSV header row went out.
  [ "$(wc -l <"$work/a.out")" -le 1 ] || fail "velmar-log $args: wrote $(cat "$work/a.out")"
done <<'EOF'
velmar-log: d/SysEvent.Evt: record 4 differs from record 4 of a/SysEvent.Evt: they can't both be the log of RAS1|sessions a/SysEvent.Evt d/SysEvent.Evt --format csv
velmar-log: e/SysEvent.Evt: its records interleave in time with those of a/SysEvent.Evt without being the same records: they can't both be the log of RAS1|busy e/SysEvent.Evt a/SysEvent.Evt
EOF

# ---- A month cut as archives hold it ----
(cd "$work" && LD_PRELOAD=$faketime_lib FAKETIME_FMT=%s FAKETIME=$now TZ=SGT-8 \
  "$tool" sample month --days 30 >/dev/null) || fail "sample"
"$tool" dump "$work/month/SysEvent.Evt" >"$work/month.csv"
rows=$(($(wc -l <"$work/month.csv") - 1))
half=$((rows / 2))
# cut NAME FROM TO: rows FROM to TO (from 1) as NAME/SysEvent.Evt.
cut_log() {
  { awk -v from="$2" -v to="$3" 'NR == 1 || (NR - 1 >= from && NR - 1 <= to)' \
    "$work/month.csv" >"$work/$1.csv" && mkdir -p "$work/$1" &&
    "$tool" make "$work/$1.csv" "$work/$1/SysEvent.Evt"; } || fail "cut $1"
}
cut_log first 1 "$half"
cut_log second $((half + 1)) "$rows"
cut_log early 1 $((half + 250))
cut_log late $((half - 249)) "$rows"
# The port list lies beside the live log only, as for archives kept apart.
cp "$work/month/RasPorts.txt" "$work/second/"
cp "$work/month/RasPorts.txt" "$work/late/"
for args in "busy" "busy --step day --format json" "users" "capacity" "capacity --format csv"; do
  read -ra argv <<<"$args"
  answer_ok "$args of the month" "${argv[@]}" month/SysEvent.Evt
  cp "$work/a.out" "$work/single.out"
  for logs in "first/SysEvent.Evt second/SysEvent.Evt" "second/SysEvent.Evt first/SysEvent.Evt" \
    "late/SysEvent.Evt early/SysEvent.Evt"; do
    read -ra files <<<"$logs"
    answer_ok "$args of $logs" "${argv[@]}" "${files[@]}"
    cmp -s "$work/single.out" "$work/a.out" || fail "$args of $logs differs from the month's"
  done
done
answer busy month/SysEvent.Evt month/SysEvent.Evt
grep -q "^8 lines (RasPorts.txt): all busy" "$work/a.out" || fail "the month twice: $(tail -n 12 "$work/a.out")"
grep -q "warning: month/SysEvent.Evt holds the same records" "$work/a.err" ||
  fail "the month twice: no warning"

finish "histories: all checks passed"
