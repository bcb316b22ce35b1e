#!/usr/bin/env bash
# End-to-end: the summaries after the listing (+g, +p, +u) compared whole
# with texts written by hand, and the user index's file: each run works in
# a fresh folder that must be empty afterwards (normal end, error, signal),
# an existing "velmar.tmp" is never touched, and runs at once in one folder
# keep their own totals, checked against totals computed from the log.
. "${VELMAR_SOURCE_DIR:?}/tests/e2e/lib.sh"
. "$src/tests/e2e/month.sh"

# velmar_in CWD DIR [VAR=VALUE...] -- ARGS...: runs velmar as "velmar" in
# the working folder CWD with the log folder DIR, TZ unset unless given and
# the pinned clock. $prep, when set, is run in the folder first (limits,
# traps); $signals, when set, lists signals given their default action;
# $pidfile, when set, receives velmar's process id; $noproc, when set, runs
# it where /proc/self/fd is empty. Output goes where the caller sends it.
velmar_in() {
  local cwd=$1 dir=$2
  shift 2
  local envs=()
  while [ "$1" != -- ]; do envs+=("$1"); shift; done
  shift
  (
    cd "$cwd" || exit 99
    eval "${prep-}"
    run_env "$dir" "${envs[@]+"${envs[@]}"}"
    [ -z "${pidfile-}" ] || echo "$BASHPID" >"$pidfile"
    [ -z "${noproc-}" ] ||
      exec unshare -m sh -c 'mount -t tmpfs none "/proc/$$/fd" && exec "$@"' sh "$velmar" "$@"
    [ -z "${signals-}" ] || exec env --default-signal="$signals" "$velmar" "$@"
    exec -a velmar "$velmar" "$@"
  )
}

# index_count CWD: how many index files lie in the folder now.
index_count() { find "$1" -maxdepth 1 -name 'velmar*.tmp' ! -name velmar.tmp | wc -l; }

# wait_until SECONDS COMMAND...: polls until the command succeeds; 1 on timeout.
wait_until() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.02
  done
}
has_index() { [ "$(index_count "$1")" -ge "${2:-1}" ]; }

# empty_after NAME CWD: the run left nothing in its working folder.
empty_after() {
  local left
  [ ! -d "$2" ] || left=$(find "$2" -mindepth 1 -maxdepth 1 -printf '%f ')
  [ -z "${left-}" ] || fail "$1: left $left"
}

# stats NAME STATUS DIR [VAR=VALUE...] -- ARGS...: a run in a fresh folder;
# its whole output and status as expected/NAME.txt says, the messages of
# $want_err on stderr (@CWD@ standing for the run's folder), and nothing
# left in the folder.
stats() {
  local name=$1 want=$2 dir=$3 cwd err=${want_err-}
  shift 3
  cwd=$(mktemp -d "$work/cwd.XXXXXX")
  velmar_in "$cwd" "$dir" "$@" >"$work/out.txt" 2>"$work/err.txt"
  want_err=${err//@CWD@/$cwd} expect_run "$name ($*)" "$expected/$name.txt" "$want" $?
  empty_after "$name" "$cwd"
}

# disc NUMBER TIME USER MINUTES SECONDS: a disconnect on COM1 with its
# connected time in insertion strings 8 and 9.
disc() { rec "$1" "$2" 20050 DIALUP "$3" COM1 d1 t1 d2 t2 "$4" "$5"; }

# --- The worked day of the listing, with general and user statistics. ---
worked_rows | mklog "$work/worked"
stats stats-worked 0 "$work/worked" -- 0 +g +u
# The index works on its file's descriptor: it needs no /proc.
if unshare -m true 2>/dev/null; then
  noproc=1 stats stats-worked 0 "$work/worked" -- 0 +g +u
else
  echo "skipped: the index without /proc (no mount namespace here)"
fi

# --- The worked day of the port table (ports listed A, B), everything on. ---
{
  rec 1 2026-12-08T01:00:00Z 20017 DIALUP alice A
  rec 2 2026-12-08T01:30:00Z 20017 DIALUP bob B
  rec 3 2026-12-08T02:00:00Z 20050 DIALUP alice A d1 t1 d2 t2 60 0
} | mklog "$work/ports"
printf 'A\nB\n' >"$work/ports/RasPorts.txt"
stats stats-ports 0 "$work/ports" -- 0 +t +g +p +u
# The clock at the window's start, every record before it: the scan lasts
# 0 s and only the general duration is written.
rec 1 2026-12-07T15:00:00Z 20017 DIALUP amy A | mklog "$work/at-start"
cp "$work/ports/RasPorts.txt" "$work/at-start/"
want_err="velmar: $work/at-start/SysEvent.Evt: newest record 07 Dec 2026 23:00:00 lies before \
the window's start; a stale copy: the whole window is the state after it" \
  stats stats-zero-total 0 "$work/at-start" FAKETIME=$((now - 43200)) -- 0 +t +g +p +u

# --- One hour, a quarter of it with one line in use; no listing. ---
{
  rec 1 2026-12-07T16:30:00Z 20017 DIALUP amy COM1
  disc 2 2026-12-07T16:45:00Z amy 15 0
  rec 3 2026-12-07T18:00:00Z 1073748859 Schedule start
} | mklog "$work/hour"
stats stats-hour 0 "$work/hour" -- 0 +d1 +g +u -l

# --- Grouping: 90 s and 30 s, case counts, 20 bytes of a name count. ---
{
  disc 1 2026-12-08T01:00:00Z bob 1 30
  disc 2 2026-12-08T01:10:00Z abcdefghijklmnopqrstuvwxyz 0 10
  disc 3 2026-12-08T01:20:00Z Bob 0 45
  disc 4 2026-12-08T01:30:00Z bob 0 30
  disc 5 2026-12-08T01:40:00Z abcdefghijklmnopqrstXYZ 0 20
} | mklog "$work/users"
want_err="velmar: 5 disconnects on ports not in use; the line counts follow connects and disconnects (add +p to count by port)" \
  stats stats-users 0 "$work/users" -- 0 +u -l
# Connections of 0 s first, among others and last still count.
{
  disc 1 2026-12-08T01:00:00Z zed 0 0
  disc 2 2026-12-08T01:10:00Z bob 0 0
  disc 3 2026-12-08T01:20:00Z Aaron 0 0
  disc 4 2026-12-08T01:30:00Z dan 0 30
  disc 5 2026-12-08T01:40:00Z cy 0 0
  disc 6 2026-12-08T01:50:00Z bob 0 50
} | mklog "$work/zero"
want_err="velmar: 6 disconnects on ports not in use; the line counts follow connects and disconnects (add +p to count by port)" \
  stats stats-zero-seconds 0 "$work/zero" -- 0 +u -l
# No disconnect in the window (one before it): no user section at all.
{
  disc 1 2026-12-07T15:00:00Z carol 5 0
  rec 2 2026-12-08T01:00:00Z 20017 DIALUP amy COM1
} | mklog "$work/nodisc"
stats stats-no-disconnect 0 "$work/nodisc" -- 0 +g +u -l

# --- Failures: nothing left behind, no summaries after the error line. ---
{
  rec 1 2026-12-07T10:00:00Z 20017 DIALUP carol COM3
  rec 2 2026-12-08T01:00:00Z 20017 DIALUP alice COM1
  disc 3 2026-12-08T02:00:00Z alice 60 0
  disc 4 2026-12-08T03:00:00Z bob 60 0
} | mklog "$work/damaged"
damage "$work/damaged/SysEvent.Evt" 3
stats damaged 2 "$work/damaged" -- 0 +g +u
# The index cannot be made: the working folder is gone.
# shellcheck disable=SC2016 # $PWD is the run's folder: prep is evaluated there
want_err='velmar: @CWD@ (deleted): user index: No such file or directory' prep='rmdir "$PWD"' \
  stats stats-no-index 2 "$work/worked" -- 0 +g +u
# The index cannot grow past a file size limit of 4 KiB (110 entries): the
# write fails, and the run says so, rather than dying of SIGXFSZ.
for i in $(seq 1 200); do disc "$i" "2026-12-08T01:$((10 + i / 60)):$((10 + i % 50))Z" "u$i" 1 0; done |
  mklog "$work/many"
want_err='velmar: @CWD@: user index: File too large' prep='ulimit -f 4' \
  stats stats-add-fails 2 "$work/many" -- 0 +u -l

# A node of the index that can't be read in the summary's walk: the rows
# before it stand, then the run fails with the index's message. The walk
# of three users makes the run's last three reads; the shim fails one.
{
  disc 1 2026-12-08T01:00:00Z bob 2 0
  disc 2 2026-12-08T01:10:00Z amy 1 0
  disc 3 2026-12-08T01:20:00Z cy 3 0
} | mklog "$work/walk"
shim="$build/libvelmar_failread.so $faketime_lib"
velmar_in "$work" "$work/walk" "LD_PRELOAD=$shim" "VELMAR_COUNT_FREAD=$work/reads" -- 0 +u -l \
  >/dev/null 2>&1
reads=$(cat "$work/reads")
for fault in "2 stats-walk-first" "1 stats-walk-up" "0 stats-walk-down"; do
  read -r back name <<<"$fault"
  want_err='velmar: @CWD@: user index: Input/output error' stats "$name" 2 "$work/walk" \
    "LD_PRELOAD=$shim" "VELMAR_FAIL_FREAD=$((reads - back))" -- 0 +u -l
done
# A write of the index that fails ends the run the same way, with the step
# that made it: the new file's header (write 1), the first add's header
# (write 4; its new slot was writes 2 and 3), and a link of the second add's
# repair (write 7; amy goes left of bob).
shim="$build/libvelmar_failwrite.so $faketime_lib"
for fault in "1 stats-write-new" "4 stats-write-header" "7 stats-write-link"; do
  read -r write name <<<"$fault"
  want_err='velmar: @CWD@: user index: Input/output error' stats "$name" 2 "$work/walk" \
    "LD_PRELOAD=$shim" "VELMAR_FAIL_FWRITE=$write" -- 0 +u -l
done

# User names are cut to 20 bytes at a character boundary, never inside one:
# 19 bytes and a 2-byte character, 20 bytes and a 3-byte one. Names that cut
# to the same text are one user.
{
  disc 1 2026-12-08T01:00:00Z "abcdefghijklmnopqrs$(printf '\xc3\xa9')" 1 0
  disc 2 2026-12-08T01:10:00Z "ABCDEFGHIJKLMNOPQRST$(printf '\xe2\x82\xac')" 2 0
  disc 3 2026-12-08T01:20:00Z "abcdefghijklmnopqrs$(printf '\xc3\xbc')x" 0 30
} | mklog "$work/utf8"
want_err="velmar: 3 disconnects on ports not in use; the line counts follow connects and disconnects (add +p to count by port)" \
  stats stats-utf8-cut 0 "$work/utf8" -- 0 +u -l +w20

# --- An existing velmar.tmp, even a link, is never touched. ---
cwd=$work/planted
mkdir -p "$cwd"
echo precious >"$work/target"
ln -s "$work/target" "$cwd/velmar.tmp"
velmar_in "$cwd" "$work/worked" -- 0 +g +u >"$work/out.txt" 2>&1
diff -u "$expected/stats-worked.txt" "$work/out.txt" || fail "planted link: output"
[ "$(cat "$work/target")" = precious ] || fail "planted link: its target changed"
[ "$(readlink "$cwd/velmar.tmp")" = "$work/target" ] || fail "planted link: the link changed"
[ "$(ls -A "$cwd")" = velmar.tmp ] || fail "planted link: left $(ls -A "$cwd")"

# --- A month of 16 busy ports, and its user totals computed from the log. ---
month_log
cwd=$(mktemp -d "$work/cwd.XXXXXX")
velmar_in "$cwd" "$big" -- -30 +u >"$work/big.out" 2>&1
user_rows "$work/big.out" | diff -u "$work/big.want" - >/dev/null || fail "month: user totals"
empty_after month "$cwd"

# Two runs in one folder, held so that both have their index open at once:
# each listing goes to a reader that only starts reading at the go sign.
shared=$(mktemp -d "$work/cwd.XXXXXX")
held_run() {
  velmar_in "$shared" "$big" -- -30 +u |
    { wait_until 60 test -e "$work/go"; cat >"$work/once.$1"; }
}
both_open() {
  wait_until 60 has_index "$shared" 2 || fail "at once: the runs did not overlap"
  touch "$work/go"
}
same_totals_at_once 2 held_run both_open
empty_after "at once" "$shared"

# --- Signals end a run early; its file goes with it. The listing goes to a
# pipe nobody reads, so the run waits there with its index open. Every
# signal that ends a process by default and can be caught is guarded. ---
guarded=(INT TERM HUP PIPE QUIT XCPU ALRM USR1 USR2 VTALRM PROF)
for sig in "${guarded[@]}"; do
  cwd=$(mktemp -d "$work/cwd.XXXXXX")
  exec {hold}> >(exec sleep 600)
  sleeper=$!
  # (A shell's background job starts with SIGINT and SIGQUIT ignored; the
  # run gets the default actions, as from a terminal. No core files.)
  all=${guarded[*]}
  prep='ulimit -c 0' signals=${all// /,} pidfile=$work/pid \
    velmar_in "$cwd" "$big" -- -30 +u 1>&"$hold" 2>"$work/err.txt" &
  job=$!
  exec {hold}>&-
  wait_until 60 has_index "$cwd" || fail "SIG$sig: no index file appeared"
  kill -s "$sig" "$(cat "$work/pid")"
  wait "$job"
  got=$?
  kill "$sleeper"
  [ "$got" = $((128 + $(kill -l "$sig"))) ] || fail "SIG$sig: exit status $got"
  empty_after "SIG$sig" "$cwd"
done
# The reader goes away (a web client that left): SIGPIPE.
cwd=$(mktemp -d "$work/cwd.XXXXXX")
velmar_in "$cwd" "$big" -- -30 +u 2>"$work/err.txt" | head -c 100 >/dev/null
got=${PIPESTATUS[0]}
[ "$got" = 141 ] || fail "SIGPIPE: exit status $got"
empty_after SIGPIPE "$cwd"
# With SIGPIPE ignored the run writes on, fails at its end and cleans up.
cwd=$(mktemp -d "$work/cwd.XXXXXX")
prep='trap "" PIPE' velmar_in "$cwd" "$big" -- -30 +u 2>"$work/err.txt" | head -c 100 >/dev/null
got=${PIPESTATUS[0]}
[ "$got" = 2 ] || fail "ignored SIGPIPE: exit status $got"
empty_after "ignored SIGPIPE" "$cwd"

finish "all statistics runs match"
