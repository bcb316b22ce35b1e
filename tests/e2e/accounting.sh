#!/usr/bin/env bash
# The answers on RADIUS accounting logs end to end: a day of two NAS
# written by hand as a detail file (delays, a retransmission, a lost Start,
# Interim-Updates, Accounting-On and -Off) against info, sessions and busy
# written by hand; the public sample records read as their sources say;
# standard input, --input and the NAS port list; a pool of an event log
# and an accounting log; and bad input, each record passed over with its
# count on standard error or the run failing with status 2, the file and
# the line named, never a crash, a hang or a figure from a misread record.
source "${VELMAR_SOURCE_DIR:?}/tests/e2e/lib.sh"

# answer ARGS...: velmar-log in $work with TZ unset; output in $work/a.out,
# messages in $work/a.err, the status as its own (124 after two minutes).
answer() { (cd "$work" && unset TZ && exec timeout 120 "$tool" "$@") >"$work/a.out" 2>"$work/a.err"; }

# answer_ok LABEL ARGS...: an answer that must succeed without messages.
answer_ok() {
  local label=$1
  shift
  answer "$@" || fail "$label: status $?: $(cat "$work/a.err")"
  [ ! -s "$work/a.err" ] || fail "$label: wrote to stderr: $(cat "$work/a.err")"
}

# same_as LABEL FILE: the last answer's output is FILE, whole.
same_as() { diff -u "$2" "$work/a.out" >"$work/diff.txt" || { fail "$1"; head -20 "$work/diff.txt"; }; }

# record HEADER ATTRIBUTE...: one detail record: the header line, an
# indented line per attribute, a blank line.
record() {
  printf '%s\n' "$1"
  shift
  printf '\t%s\n' "$@"
  printf '\n'
}

# ---- A day of two NAS, written by hand ----
# Times are UTC on 2026-12-08 (1796688000 is its midnight). Lines: On 1 and
# 8, alice's Start 15, bob's 24, carol's 33 and its copy 42, alice's
# Interim-Update 51, bob's Stop 61 (no Event-Timestamp, 5 s late), dave's
# Stop 71 (its Start lost), the Off 81, carol's Stop 88 (received after
# the Off), eve's Interim-Update 99 (her Start lost).
day() {
  record "Tue Dec  8 16:00:00 2026" "NAS-IP-Address = 192.0.2.1" "Acct-Status-Type = Accounting-On" \
    'Acct-Session-Id = "0"' "Event-Timestamp = 1796716800" "Timestamp = 1796716800"
  record "Tue Dec  8 16:00:00 2026" "NAS-IP-Address = 192.0.2.2" "Acct-Status-Type = Accounting-On" \
    'Acct-Session-Id = "0"' "Event-Timestamp = 1796716800" "Timestamp = 1796716800"
  record "Tue Dec  8 17:00:00 2026" "NAS-IP-Address = 192.0.2.1" "NAS-Port = 1" 'User-Name = "alice"' \
    "Acct-Status-Type = Start" 'Acct-Session-Id = "a1"' "Event-Timestamp = 1796720400" \
    "Timestamp = 1796720400"
  record "Tue Dec  8 17:10:00 2026" "NAS-IP-Address = 192.0.2.2" "NAS-Port = 1" 'User-Name = "bob"' \
    "Acct-Status-Type = Start" 'Acct-Session-Id = "b1"' "Event-Timestamp = 1796721000" \
    "Timestamp = 1796721000"
  record "Tue Dec  8 17:20:00 2026" "NAS-IP-Address = 192.0.2.1" "NAS-Port = 2" 'User-Name = "carol"' \
    "Acct-Status-Type = Start" 'Acct-Session-Id = "c1"' "Event-Timestamp = 1796721600" \
    "Timestamp = 1796721600"
  record "Tue Dec  8 17:20:08 2026" "NAS-IP-Address = 192.0.2.1" "NAS-Port = 2" 'User-Name = "carol"' \
    "Acct-Status-Type = Start" 'Acct-Session-Id = "c1"' "Acct-Delay-Time = 8" "Timestamp = 1796721608"
  record "Tue Dec  8 17:30:00 2026" "NAS-IP-Address = 192.0.2.1" "NAS-Port = 1" 'User-Name = "alice"' \
    "Acct-Status-Type = Interim-Update" 'Acct-Session-Id = "a1"' "Acct-Session-Time = 1800" \
    "Event-Timestamp = 1796722200" "Timestamp = 1796722200"
  record "Tue Dec  8 17:40:05 2026" "NAS-IP-Address = 192.0.2.2" "NAS-Port = 1" 'User-Name = "bob"' \
    "Acct-Status-Type = Stop" 'Acct-Session-Id = "b1"' "Acct-Session-Time = 1800" \
    "Acct-Delay-Time = 5" "Timestamp = 1796722805"
  record "Tue Dec  8 18:00:00 2026" "NAS-IP-Address = 192.0.2.1" "NAS-Port = 3" 'User-Name = "dave"' \
    "Acct-Status-Type = Stop" 'Acct-Session-Id = "d1"' "Acct-Session-Time = 2700" \
    "Event-Timestamp = 1796724000" "Timestamp = 1796724000"
  record "Tue Dec  8 18:30:00 2026" "NAS-IP-Address = 192.0.2.1" "Acct-Status-Type = Accounting-Off" \
    'Acct-Session-Id = "0"' "Event-Timestamp = 1796725800" "Timestamp = 1796725800"
  record "Tue Dec  8 18:30:05 2026" "NAS-IP-Address = 192.0.2.1" "NAS-Port = 2" 'User-Name = "carol"' \
    "Acct-Status-Type = Stop" 'Acct-Session-Id = "c1"' "Acct-Session-Time = 4190" \
    "Acct-Delay-Time = 15" "Event-Timestamp = 1796725790" "Timestamp = 1796725805"
  record "Tue Dec  8 19:00:00 2026" "NAS-IP-Address = 192.0.2.2" "NAS-Port = 2" 'User-Name = "eve"' \
    "Acct-Status-Type = Interim-Update" 'Acct-Session-Id = "e1"' "Acct-Session-Time = 600" \
    "Event-Timestamp = 1796727600" "Timestamp = 1796727600"
}
mkdir -p "$work/day"
day >"$work/day/detail"
printf '192.0.2.1 2\n192.0.2.2 2\n' >"$work/day/NasPorts.txt"

answer_ok "info of the day" info day/detail --utc
same_as "info of the day" "$expected/acct-info.txt"
answer_ok "sessions of the day" sessions day/detail --format csv --utc
same_as "sessions of the day" "$expected/acct-sessions.csv"
answer_ok "busy of the day" busy day/detail --ports day/NasPorts.txt --format csv --utc
same_as "busy of the day" "$expected/acct-busy.csv"
answer_ok "busy of the day as text" busy day/detail --ports day/NasPorts.txt --utc
[ "$(grep '^total' "$work/a.out" | tr -s ' ')" = "total 3:00:00 4:04:50 1.360 4 0:20:00 5" ] ||
  fail "busy of the day: totals: $(grep '^total' "$work/a.out")"
grep -qx "4 lines (--ports): all busy 11.11% of the covered time" "$work/a.out" ||
  fail "busy of the day: the pool's lines: $(grep 'lines (' "$work/a.out")"
[ "$(tail -n 5 "$work/a.out" | awk '{printf "%s=%s ", $1, $2}')" = \
  "0=1:20:00 1=0:20:10 2=0:34:50 3=0:25:00 4=0:20:00 " ] ||
  fail "busy of the day: levels: $(tail -n 5 "$work/a.out")"
answer_ok "info of the day as JSON" info day/detail --format json
[ "$(jq -c '[.histories[] | [.computer, .records, .connects, .interims, .repeated_records]]' \
  "$work/a.out")" = '[["192.0.2.1",7,2,1,1],["192.0.2.2",4,1,1,0]]' ] ||
  fail "info as JSON: $(jq -c .histories "$work/a.out")"
[ "$(jq -c '.logs[0] | [.computer, .kind, .records, .repeated_records, .skipped_records]' \
  "$work/a.out")" = '[null,"detail",12,1,0]' ] || fail "info as JSON: $(jq -c '.logs[0]' "$work/a.out")"

# Standard input, the kinds forced, and the port lists.
answer_ok "busy of the day" busy day/detail --lines 4 --format csv
cp "$work/a.out" "$work/day.csv"
answer busy - --lines 4 --format csv <"$work/day/detail" || fail "busy of standard input"
cmp -s "$work/day.csv" "$work/a.out" || fail "busy of standard input differs"
answer busy --input detail day/detail --lines 4 --format csv || fail "busy --input detail"
cmp -s "$work/day.csv" "$work/a.out" || fail "busy --input detail differs"
printf 'COM1\nCOM2\nCOM3\n' >"$work/ports.txt"
answer_ok "a port list for a NAS list" busy day/detail --ports ports.txt --ports day/NasPorts.txt
grep -q "^7 lines (--ports)" "$work/a.out" || fail "port lists add up: $(grep 'lines (' "$work/a.out")"

# ---- The public sample records, as their sources read them ----
samples=$src/tests/accounting/samples
answer_ok "the public samples" sessions "$samples/freeradius-detail-start.txt" \
  "$samples/nps-database-start.log" --format csv --utc
# FreeRADIUS: the Start's time is its Timestamp (2019), not the header's
# (2011). NPS: NAS 192.168.180.4, port 9, session "168", at 13:45:48 UTC
# (Record-Time 14:45:48 is the server's local time).
same_as "the public samples" <(cat <<'EOF'
computer,port,user,start,end,seconds,started,ended,connected_seconds,start_record,end_record
10.10.0.179,0,bob,2019-04-02T17:38:01+00:00,2019-04-02T17:38:01+00:00,0,connect,open,,1,
192.168.180.4,9,myusername,2024-06-18T13:45:48+00:00,2024-06-18T13:45:48+00:00,0,connect,open,,1,
EOF
)

# ---- A pool of an event log and an accounting log ----
# The same traffic of two servers: RAS01's event log with the records of
# the second NAS alone, against both event logs.
(cd "$work" && LD_PRELOAD=$faketime_lib FAKETIME_FMT=%s FAKETIME=$now TZ=SGT-8 \
  "$tool" sample evt --days 5 --nas 2 >/dev/null &&
  LD_PRELOAD=$faketime_lib FAKETIME_FMT=%s FAKETIME=$now TZ=SGT-8 \
    "$tool" sample radius --days 5 --nas 2 --format nps >/dev/null) || fail "samples"
# (No field of the sample's lines holds a comma.)
awk -F, '$13 == "\"192.0.2.2\""' "$work/radius/nps.log" >"$work/radius/ras02.log"
[ -s "$work/radius/ras02.log" ] || fail "the second NAS's records"
for args in "busy --lines 16 --format csv" "users --format csv" "capacity --lines 16"; do
  read -ra argv <<<"$args"
  answer_ok "$args of the event logs" "${argv[@]}" evt/RAS01/SysEvent.Evt evt/RAS02/SysEvent.Evt
  cp "$work/a.out" "$work/evt.out"
  answer_ok "$args of the pool" "${argv[@]}" evt/RAS01/SysEvent.Evt radius/ras02.log
  cmp -s "$work/evt.out" "$work/a.out" || fail "$args of the mixed pool differs"
done

# Requests received in the reverse order of their times, all but an hour's
# of them later than the window waits: each is applied at its own time,
# and busy comes out the same.
tac "$work/radius/nps.log" >"$work/radius/reversed.log"
answer_ok "busy in order" busy radius/nps.log --lines 16 --format csv
cp "$work/a.out" "$work/in-order.csv"
answer_ok "busy in reverse order" busy radius/reversed.log --lines 16 --format csv
cmp -s "$work/in-order.csv" "$work/a.out" || fail "busy of the requests in reverse order differs"
# ... and so do one user's sessions, but for the connects (in reverse
# order every session is rebuilt from its Stop, and counts no connect).
answer_ok "busy of a user in order" busy radius/nps.log --user usim --format csv
cut -d, -f1-6 "$work/a.out" >"$work/in-order.csv"
answer_ok "busy of a user in reverse order" busy radius/reversed.log --user usim --format csv
cut -d, -f1-6 "$work/a.out" | cmp -s "$work/in-order.csv" - ||
  fail "busy of a user's requests in reverse order differs"

# ---- Bad input ----
# Each case changes the day; busy must give the day's figures (the bad
# record being one added to it) with the message, or fail naming the file
# and the line.
extra() { record "Tue Dec  8 19:30:00 2026" "NAS-IP-Address = 192.0.2.1" "NAS-Port = 4" \
  'User-Name = "mallory"' "$@" "Event-Timestamp = 1796729400" "Timestamp = 1796729400"; }
bad_case() {
  local name=$1
  mkdir -p "$work/bad"
  case $name in
    truncated)
      { day; printf 'Tue Dec  8 19:30:00 2026\n\tNAS-IP-Address = 192.0.2.1\n\tAcct-Status-Type = Sta'; } ;;
    no-blank-line)
      { day; extra "Acct-Status-Type = Start" 'Acct-Session-Id = "m1"' | sed '$d'; day | head -n 7; } ;;
    unknown-attributes)
      day | sed 's/^\tNAS-Port = 1$/\tNAS-Port = 1\n\tCisco-AVPair = "shell:priv-lvl=15"\n\tAscend-Data-Rate = 33600/' ;;
    wrong-type)
      { day; extra "Acct-Status-Type = Stop" 'Acct-Session-Id = "m1"' 'Acct-Session-Time = "long"'; } ;;
    unknown-status)
      { day; extra "Acct-Status-Type = 15" 'Acct-Session-Id = "m1"'; } ;;
    crlf)
      day | sed 's/$/\r/' ;;
    long-line)
      { day; printf 'Tue Dec  8 19:30:00 2026\n\tUser-Name = "'; head -c 100000000 /dev/zero | tr '\0' x
        printf '"\n\tNAS-IP-Address = 192.0.2.1\n\tAcct-Status-Type = Start\n\tAcct-Session-Id = "m1"\n'
        printf '\tEvent-Timestamp = 1796729400\n\n'; } ;;
  esac >"$work/bad/detail"
}
while IFS='|' read -r name message; do
  bad_case "$name"
  answer busy bad/detail --lines 4 --format csv
  got=$?
  [ "$got" = 0 ] || fail "$name: status $got: $(head -c 300 "$work/a.err")"
  [ "$(cat "$work/a.err")" = "$message" ] || fail "$name: message: $(head -c 300 "$work/a.err")"
  # The last hour ends at the day's last record, whatever was passed over.
  cmp -s "$work/day.csv" "$work/a.out" || fail "$name: other figures than the day's"
done <<'EOF'
truncated|velmar-log: warning: bad/detail: 1 damaged record passed over: 1 a record cut short by the end of the input (first at line 109)
no-blank-line|velmar-log: warning: bad/detail: 1 damaged record passed over: 1 a record with no blank line before the next one (first at line 109)
unknown-attributes|
wrong-type|velmar-log: warning: bad/detail: 1 damaged record passed over: 1 a value of the wrong type (first at line 109)
unknown-status|velmar-log: warning: bad/detail: 1 damaged record passed over: 1 a status type other than Start, Stop, Interim-Update, Accounting-On and Accounting-Off (first at line 109)
crlf|
long-line|velmar-log: warning: bad/detail: 1 damaged record passed over: 1 a line longer than 65536 bytes (first at line 109)
EOF
# Names as the file holds them: a byte that is no UTF-8 stays in CSV and is
# U+FFFD in JSON.
day | sed 's/"bob"/"b\xffb"/' >"$work/bad/detail"
answer_ok "a name of no UTF-8" users bad/detail --format json
[ "$(jq -r '.users[] | select(.sessions == 1 and .seconds == 1800) | .user' "$work/a.out")" = \
  "b"$'\xef\xbf\xbd'"b" ] || fail "a name of no UTF-8: $(cat "$work/a.out")"
answer_ok "a name of no UTF-8 as CSV" sessions bad/detail --format csv --utc
grep -q $'^192.0.2.2,1,b\xffb,' "$work/a.out" || fail "a name of no UTF-8 in CSV"

# Failures: status 2, a message naming the file (and the line where the
# input broke off), at most a header row out.
gzip -c "$work/day/detail" >"$work/day/detail.gz"
printf 'not a log of any kind\n' >"$work/notes.txt"
cp "$work/radius/nps.log" "$work/big.log"
answer busy --input evt - <"$work/day/detail"
{ [ $? = 2 ] && [ "$(cat "$work/a.err")" = \
  "velmar-log: -: an event log is read from its file, not from standard input" ]; } ||
  fail "an event log from standard input: $(cat "$work/a.err")"

# failing N ARGS...: velmar-log with its Nth read of a file failing.
failing() {
  (cd "$work" && unset TZ && exec timeout 120 env LD_PRELOAD="$build/libvelmar_failread.so" "$1" \
    "$tool" "${@:2}") >"$work/a.out" 2>"$work/a.err"
}
# The last read of big.log (2 MB: its second block) fails.
failing VELMAR_COUNT_FREAD="$work/reads" busy big.log --format csv || fail "counting the reads"
last_read=VELMAR_FAIL_FREAD=$(cat "$work/reads")
while IFS='#' read -r env message args; do
  read -ra argv <<<"$args"
  got=0
  if [ -n "$env" ]; then
    failing "${env/LAST/$last_read}" "${argv[@]}" || got=$?
  else
    answer "${argv[@]}" <"$work/day/detail.gz" || got=$?
  fi
  [ "$got" = 2 ] || fail "velmar-log $args: status $got, not 2"
  grep -qx -- "$message" "$work/a.err" || fail "velmar-log $args: $(cat "$work/a.err")"
  [ "$(wc -l <"$work/a.out")" -le 1 ] || fail "velmar-log $args: wrote $(head -3 "$work/a.out")"
done <<'EOF'
#velmar-log: day/detail.gz: compressed with gzip, which is not read here; pipe it in instead: zcat day/detail.gz | velmar-log busy -#busy day/detail.gz
#velmar-log: -: compressed with gzip, which is not read here; pipe it in instead: zcat FILE | velmar-log busy -#users -
#velmar-log: notes.txt: not an accounting log nor an event log (tried evt, detail, nps, ias, nps-xml)#sessions day/detail notes.txt
#velmar-log: day/detail: not an event log file#info --input evt day/detail
#velmar-log: --input: bad value 'radius' (evt, detail, nps, ias or nps-xml)#busy --input radius day/detail
#velmar-log: /proc/self/mem: line 1: Input/output error#users /proc/self/mem
LAST#velmar-log: big.log: line [1-9][0-9][0-9]*: Input/output error#busy big.log --format csv
EOF

finish "accounting logs: all checks passed"
