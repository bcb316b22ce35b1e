#!/usr/bin/env bash
# End-to-end: the real `velmar` on logs made by `velmar-log make`, with the
# clock pinned at 2026-12-08 04:00:00 UTC (12:00:00 under the default zone
# SGT-8). Each run's whole output and exit status are compared with a text
# written by hand under expected/.
source "${VELMAR_SOURCE_DIR:?}/tests/e2e/lib.sh"

# --- The worked day: two users overlap; earlier and unrelated records. ---
worked_rows | mklog "$work/worked"
printf 'COM1\nCOM2\n' >"$work/worked/RasPorts.txt"
check worked 0 "$work/worked" -- 0
check nolist 0 "$work/worked" -- 0 -list
check nolist 0 "$work/worked" -- 0 -l +t
check titles-two 0 "$work/worked" -- 0 "North pool" "Line report" extra -x

# --- Nothing in the window; the log runs out at 12:00:00. ---
head -n 3 "$work/worked/log.csv" | tail -n 2 | mklog "$work/before"
want_err="velmar: $work/before/SysEvent.Evt: newest record 07 Dec 2026 23:59:59 lies before the \
window's start; a stale copy: the whole window is the state after it" \
  check empty-window 0 "$work/before" -- 0

# --- A record at the window end stops the scan there (window 10 hours). ---
{
  rec 1 2026-12-06T15:00:00Z 20017 DIALUP early COM1
  rec 2 2026-12-07T01:00:00Z 20017 DIALUP dave COM1
  rec 3 2026-12-07T02:00:00Z 1073748859 Schedule start
  rec 4 2026-12-07T03:00:00Z 20050 DIALUP dave COM1
} | mklog "$work/end"
check window-end 0 "$work/end" -- -1 +d10
# The log runs out before a window end that lies earlier still: the scan
# ends at the current time.
rec 1 2026-12-06T17:00:00Z 20017 DIALUP erin COM1 | mklog "$work/out"
# The log runs out before a window end that lies earlier still: the scan
# ends at the current time, and says so.
want_err="velmar: the log ran out before the window's end, 07 Dec 2026 02:00:00; the scan ran \
on to the current time, 08 Dec 2026 12:00:00, as the report takes a log that has run out to be \
current: the statistics count the time after the window's end too" \
  check runs-out 0 "$work/out" -- -1 +d2

# --- Yesterday and today; a named computer and titles. ---
{
  rec 1 2026-12-06T15:59:59Z 20017 DIALUP old COM1
  rec 2 2026-12-07T14:00:00Z 20017 DIALUP frank COM1
  rec 3 2026-12-07T17:15:30Z 20050 DIALUP frank COM1
  rec 4 2026-12-08T00:00:00Z 20017 DIALUP gina COM2
} | tee "$work/two.csv" | mklog "$work/two"
check two-days 0 "$work/two" -- -1
mklog "$work/named/RAS1" <"$work/two.csv"
check titles-computer 0 "$work/named" -- -1 '\\RAS1' Monthly

# --- A date in place of the offset: the day it names in the report's zone,
# -1 for yesterday's date, -7 for the date a week ago. A date that does not
# exist ends the run before the port list is read. ---
check two-days 0 "$work/two" -- 2026-12-07
check titles-computer 0 "$work/named" -- 2026-12-07 '\\RAS1' Monthly
run_velmar "$work/two" -- 2026-12-01 +g && mv "$work/out.txt" "$work/date.txt"
run_velmar "$work/two" -- -7 +g
cmp -s "$work/date.txt" "$work/out.txt" || fail "velmar 2026-12-01 differs from velmar -7"
for date in 2026-02-30 2026-13-01 2026-12-1 2026-12-01x; do
  check bad-date 2 "$work/two" -- "$date" +t
done

# --- Intervals of 100 hours, 3725 s and -5 s. ---
{
  rec 1 2026-12-02T17:00:00Z 20017 DIALUP hal COM1
  rec 2 2026-12-06T21:00:00Z 20017 DIALUP ivy COM2
  rec 3 2026-12-06T22:02:05Z 20050 DIALUP hal COM1
  rec 4 2026-12-06T22:02:00Z 20050 DIALUP ivy COM2
} | mklog "$work/intervals"
check intervals 0 "$work/intervals" -- -5

# --- Resets only while lines are in use; more disconnects than connects. ---
{
  rec 1 2026-12-07T17:00:00Z 6005
  rec 2 2026-12-07T18:00:00Z 20017 DIALUP jan COM1
  rec 3 2026-12-07T19:00:00Z 20017 DIALUP kim COM2
  rec 4 2026-12-07T20:00:00Z 8033
  rec 5 2026-12-07T21:00:00Z 8033
  rec 6 2026-12-07T22:00:00Z 20017 DIALUP lee COM3
  rec 7 2026-12-07T23:00:00Z 2147489653
} | mklog "$work/resets"
check resets 0 "$work/resets" -- 0
{
  rec 1 2026-12-08T01:00:00Z 20017 DIALUP amy COM1
  rec 2 2026-12-08T01:10:00Z 20017 DIALUP ben COM2
  rec 3 2026-12-08T01:20:00Z 20050 DIALUP amy COM1
  rec 4 2026-12-08T01:30:00Z 20050 DIALUP ben COM2
  rec 5 2026-12-08T01:40:00Z 20050 DIALUP cid COM3
} | mklog "$work/more"
want_err="velmar: 1 disconnect on a port not in use; the line counts follow connects and disconnects (add +p to count by port)" \
  check more-disconnects 0 "$work/more" -- 0

# --- Names longer than their columns; the width's upper bound. ---
{
  rec 1 2026-12-08T01:00:00Z 20017 DIALUP averyveryverylongusername_x COM1
  rec 2 2026-12-08T02:00:00Z 20017 DIALUP shortname LONGPORTNAME1
} | mklog "$work/long"
check long-names 0 "$work/long" -- 0 +w30

# --- Failures after the head; the usage text. ---
mkdir -p "$work/none"
want_err="velmar: $work/none/SysEvent.Evt: No such file or directory" \
  check cant-open 2 "$work/none" -- 0
want_err="velmar: $work/worked/NOSUCH/SysEvent.Evt: No such file or directory" \
  check cant-open 2 "$work/worked" -- 0 '\\NOSUCH'
want_err='velmar: \\..: not a valid computer name' check cant-open 2 "$work/worked" -- 0 '\\..'
mklog "$work/empty" </dev/null
check empty-log 2 "$work/empty" -- 0
check usage 1 "$work/worked" --
# A first argument that is neither a number nor a date is no report at all;
# a plain number, signed or not, is the offset it says.
for first in yesterday --help 2026/12/01 12/01/2026 +t 1x '' ' 1' - + --version --Version; do
  check usage 1 "$work/worked" -- "$first" +g
done
# --version alone names the program and the version of the build, and is
# no report day; a web request never reads the command line.
version=$(sed -n 's/^project(velmar VERSION \([0-9.]*\) .*/\1/p' "$src/CMakeLists.txt")
run_velmar "$work/worked" -- --version
got=$?
{ [ "$got" = 0 ] && [ "$(cat "$work/out.txt")" = "velmar $version" ] && [ ! -s "$work/err.txt" ]; } ||
  fail "velmar --version: status $got, '$(cat "$work/out.txt")'"
run_velmar "$work/worked" REQUEST_METHOD=GET QUERY_STRING=nolist=1 -- --version
grep -q '^Content-type: text/html' "$work/out.txt" || fail "a web request took --version"
check two-days 0 "$work/two" -- -1
check two-days 0 "$work/two" -- -01
run_velmar "$work/two" -- +1 && mv "$work/out.txt" "$work/plus.txt"
run_velmar "$work/two" -- 1
cmp -s "$work/plus.txt" "$work/out.txt" || fail "velmar +1 differs from velmar 1"
# A record damaged in the file stops the listing where it stands.
{
  rec 1 2026-12-07T10:00:00Z 20017 DIALUP carol COM3
  rec 2 2026-12-08T01:00:00Z 20017 DIALUP alice COM1
  rec 3 2026-12-08T02:00:00Z 20017 DIALUP bob COM2
  rec 4 2026-12-08T03:00:00Z 20050 DIALUP bob COM2
} | mklog "$work/damaged"
damage "$work/damaged/SysEvent.Evt" 3
check damaged 2 "$work/damaged" -- 0

# --- The zone: from the environment, from +z, and the default. ---
zone_rows | mklog "$work/tz"
check tz-utc 0 "$work/tz" TZ=UTC0 -- 0
check tz-utc 0 "$work/tz" TZ=SGT-8 -- 0 +zUTC0
check tz-sgt 0 "$work/tz" -- 0
check tz-sgt 0 "$work/tz" TZ=UTC0 -- 0 +z
# A +z text longer than 76 characters is refused: TZ stays as it was.
check tz-utc 0 "$work/tz" TZ=UTC0 -- 0 "+z$(printf 'A%.0s' {1..77})"

# --- A wrapped log whose header is stale and marked dirty. ---
{
  for i in $(seq 1 40); do
    rec "$i" 2026-12-07T0$((i / 10)):0$((i % 10)):00Z 1073748859 Filler "$(printf 'f%.0s' {1..100})"
  done
  tail -n +2 "$work/worked/log.csv" | awk -F, -v OFS=, '{ $1 += 40; print }'
} | mklog "$work/wrapped" --max-size 4096 --start-offset 2000
"$tool" dump "$work/wrapped/SysEvent.Evt" | sed -n 2p | grep -q '^1,' &&
  fail "wrapped: the log did not drop its oldest records"
check worked 0 "$work/wrapped" -- 0
# Dirty and wrapped, EOF record said to be at the data area's start, and the
# next record number 4 behind (45 for 49): the EOF record still tells the truth.
evt=$work/wrapped/SysEvent.Evt
printf '\x30\x00\x00\x00' | dd of="$evt" bs=1 seek=20 conv=notrunc status=none
printf '\x2d\x00\x00\x00' | dd of="$evt" bs=1 seek=24 conv=notrunc status=none
printf '\x03\x00\x00\x00' | dd of="$evt" bs=1 seek=36 conv=notrunc status=none
check worked 0 "$work/wrapped" -- 0

# --- Deviations: times past 2038, missing strings, width 0, start 0. ---
{
  rec 1 2039-12-31T10:00:00Z 20017 DIALUP old COM1
  rec 2 2040-01-01T01:00:00Z 20017 DIALUP zoe COM1
  rec 3 2040-01-01T02:00:00Z 20050 DIALUP zoe COM1
} | mklog "$work/y2040"
check y2040 0 "$work/y2040" FAKETIME=2209003200 -- 0
{
  rec 1 2026-12-08T01:00:00Z 20017 DIALUP
  rec 2 2026-12-08T02:00:00Z 20050 DIALUP pat
} | mklog "$work/missing"
check missing-strings 0 "$work/missing" -- 0
{
  rec 1 2026-12-08T01:00:00Z 20017 DIALUP alice COM1
  rec 2 2026-12-08T01:30:00Z 20017 DIALUP "" COM2
} | mklog "$work/width0"
check width0 0 "$work/width0" -- 0 +w0
# A window that starts at time 0 is a window, not a failure.
{
  rec 1 1970-01-01T00:00:00Z 20017 DIALUP old COM1
  rec 2 2026-12-08T01:00:00Z 20050 DIALUP old COM1
} | mklog "$work/zero"
check start-zero 0 "$work/zero" TZ=UTC0 -- -20795

finish "all listing runs match"
