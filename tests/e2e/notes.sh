#!/usr/bin/env bash
# End-to-end: what a run says on standard error, exactly. Why a log can't
# be opened (its path and the reason); that the log does not reach back to
# the window's start, or stopped before it; that TZ names a zone file that
# does not exist. A live log that covers the window gives no line at all.
source "${VELMAR_SOURCE_DIR:?}/tests/e2e/lib.sh"

# say LABEL STATUS DIR MESSAGES [VAR=VALUE...] -- ARGS...: a run of velmar
# whose exit status is STATUS and whose standard error is exactly MESSAGES
# (a line each; nothing when empty).
say() {
  local label=$1 want=$2 dir=$3 err=$4
  shift 4
  run_velmar "$dir" "$@" </dev/null
  local got=$?
  [ "$got" = "$want" ] || fail "$label: exit status $got, expected $want"
  printf '%s' "${err:+$err$'\n'}" | diff -u - "$work/err.txt" || fail "$label: messages"
}

worked_rows | mklog "$work/worked"

# --- The log can't be opened: the path and the reason. ---
mkdir -p "$work/folder/SysEvent.Evt" "$work/fifo" "$work/text" "$work/damaged" "$work/none"
mkfifo "$work/fifo/SysEvent.Evt"
echo "not a log" >"$work/text/SysEvent.Evt"
# The EOF record's magic broken: nothing tells where the records end.
cp "$work/worked/SysEvent.Evt" "$work/damaged/"
eof=$(grep -obaP '\x11\x11\x11\x11' "$work/damaged/SysEvent.Evt" | head -n 1 | cut -d: -f1)
printf 'XXXX' | dd of="$work/damaged/SysEvent.Evt" bs=1 seek="$eof" conv=notrunc status=none
while IFS='|' read -r dir reason; do
  say "$dir" 2 "$work/$dir" "velmar: $work/$dir/SysEvent.Evt: $reason" -- 0
done <<'CASES'
none|No such file or directory
folder|a folder, not a file
fifo|not a regular file
text|not an event log file
damaged|damaged: no end-of-file record
CASES
# Permission denied, as a user the file does not let read (root reads all).
mkdir -p "$work/locked" && cp "$work/worked/SysEvent.Evt" "$work/locked/"
chmod 000 "$work/locked/SysEvent.Evt"
chmod 755 "$work" "$work/locked"
if [ "$(id -u)" != 0 ]; then
  say locked 2 "$work/locked" "velmar: $work/locked/SysEvent.Evt: permission denied" -- 0
elif command -v setpriv >/dev/null && getent passwd nobody >/dev/null; then
  printf '#!/bin/sh\nexec setpriv --reuid=nobody --regid=nogroup --clear-groups "%s" "$@"\n' \
    "$velmar" >"$work/as-nobody"
  chmod 755 "$work/as-nobody"
  # (Without the pinned clock: its shared memory is root's.)
  velmar=$work/as-nobody say locked 2 "$work/locked" \
    "velmar: $work/locked/SysEvent.Evt: permission denied" LD_PRELOAD= -- 0
else
  echo "skipped: an unreadable log (running as root, and no setpriv or user nobody)"
fi

# --- Coverage: the log starts after the window's start; a stale copy whose
# newest record lies before it; neither for a live log that covers the
# window, nor for a window still to come. Times in the report's zone. ---
rec 1 2026-12-08T01:00:00Z 20017 DIALUP amy COM1 | mklog "$work/late"
{
  rec 1 2026-12-06T10:00:00Z 20017 DIALUP amy COM1
  rec 2 2026-12-06T11:30:00Z 20050 DIALUP amy COM1
} | mklog "$work/stale"
late="oldest record 08 Dec 2026 09:00:00 lies after the window's start; the time before it \
counts as 0 lines in use"
stale="newest record 06 Dec 2026 19:30:00 lies before the window's start; a stale copy: the \
whole window is the state after it"
say late 0 "$work/late" "velmar: $work/late/SysEvent.Evt: $late" -- 0
say "late, in UTC" 0 "$work/late" "velmar: $work/late/SysEvent.Evt: ${late/09:00/01:00}" \
  TZ=UTC0 -- 0
say stale 0 "$work/stale" "velmar: $work/stale/SysEvent.Evt: $stale" -- 0
say "stale, from yesterday" 0 "$work/stale" "velmar: $work/stale/SysEvent.Evt: $stale" -- -1
say "a window to come" 0 "$work/stale" "" -- 1
printf 'COM1\nCOM2\nCOM3\n' >"$work/worked/RasPorts.txt"
say "covered" 0 "$work/worked" "" -- 0 +t +g +p +u

# --- A zone named by a file that does not exist; zone files that do, and
# POSIX rules, say nothing. The log covers today in every zone. ---
{
  rec 1 2026-12-01T00:00:00Z 20017 DIALUP amy COM1
  rec 2 2026-12-08T03:00:00Z 20050 DIALUP amy COM1
} | mklog "$work/wide"
# (amy's session began before the window: the plain count says so.)
nozone="no such zone file; the C library takes it as UTC"
before="velmar: 1 disconnect on a port not in use; the line counts follow connects and disconnects (add +p to count by port)"
while IFS='|' read -r how tz; do
  if [ "$how" = env ]; then set -- "TZ=$tz" -- 0; else set -- TZ=UTC0 -- 0 "+z$tz"; fi
  say "TZ $tz" 0 "$work/wide" "velmar: TZ=$tz: $nozone"$'\n'"$before" "$@"
done <<'CASES'
env|Asia/Nowhere
env|:Nowhere
arg|/no/such/zone
arg|:Etc/Nowhere
CASES
for tz in Asia/Singapore :UTC SGT-8 EST5EDT EST5EDT,M3.2.0/2 ":<+08>-8"; do
  say "TZ $tz" 0 "$work/wide" "$before" "TZ=$tz" -- 0
done
say "tz field" 0 "$work/wide" "velmar: TZ=Asia/Nowhere: $nozone"$'\n'"$before" REQUEST_METHOD=GET \
  QUERY_STRING=tz=Asia%2FNowhere --

# --- The report's own rules, said where the reader may wonder: the plain
# count follows connects and disconnects, not the ports, and a log that ran
# out counts as current until now. With the port table neither count
# departs. ---
{
  rec 1 2026-12-07T15:00:00Z 20017 DIALUP early COM3
  rec 2 2026-12-08T01:00:00Z 20017 DIALUP amy COM1
  rec 3 2026-12-08T01:30:00Z 20017 DIALUP bob COM1
  rec 4 2026-12-08T02:05:00Z 20017 DIALUP cy COM1
  rec 5 2026-12-08T02:10:00Z 20050 DIALUP early COM3
  rec 6 2026-12-08T02:20:00Z 20050 DIALUP cy COM1
  rec 7 2026-12-08T02:30:00Z 20050 DIALUP dan COM2
  rec 8 2026-12-08T02:40:00Z 6005 EventLog
  rec 9 2026-12-08T02:50:00Z 20050 DIALUP amy COM1
} | mklog "$work/plain"
printf 'COM1\nCOM2\nCOM3\n' >"$work/plain/RasPorts.txt"
say "plain count" 0 "$work/plain" \
  "velmar: 2 connects on ports already in use and 3 disconnects on ports not in use; the line counts follow connects and disconnects (add +p to count by port)" -- 0
say "plain count, with the ports" 0 "$work/plain" "" -- 0 +p
say "plain count, tabulated" 0 "$work/plain" "" -- 0 +t
say "plain count, one kind" 0 "$work/plain" "velmar: 1 connect on a port already in use; the line counts follow connects and disconnects (add +p to count by port)" \
  -- 0 +d10
say "a log that ran out, and a window before now" 0 "$work/plain" \
  "velmar: the log ran out before the window's end, 08 Dec 2026 11:00:00; the scan ran on to the \
current time, 08 Dec 2026 12:00:00, as the report takes a log that has run out to be current: the \
statistics count the time after the window's end too"$'\n'"velmar: 2 connects on ports already \
in use and 3 disconnects on ports not in use; the line counts follow connects and disconnects (add +p to count by port)" -- 0 +d11 -l

finish "all messages as expected"
