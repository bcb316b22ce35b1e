# shellcheck shell=bash
# Shared by the end-to-end scripts (source it from bash): the programs, a
# private work folder, logs made with `velmar-log make` from CSV rows, runs
# of `velmar` with the clock pinned at 2026-12-08 04:00:00 UTC (12:00:00
# under the default zone SGT-8), and whole-output comparison against texts
# written by hand under expected/, with the messages on standard error.
set -u
build=${VELMAR_BUILD_DIR:?}
src=${VELMAR_SOURCE_DIR:?}
velmar=$build/velmar
tool=$build/velmar-log
expected=$src/tests/e2e/expected
now=1796702400
faketime_libs=(/usr/lib/*/faketime/libfaketime.so.1)
faketime_lib=${faketime_libs[0]}
[ -f "$faketime_lib" ] || { echo "libfaketime not installed (package faketime)"; exit 1; }
# Sanitizer runtimes want to be first; libfaketime is preloaded ahead of them.
# A runtime linked into the program (clang's) starts before libfaketime is
# set up, and its allocator's timer for giving memory back would then ask
# the preloaded clock, whose setup allocates: the run hangs. So no timer.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0:allocator_release_to_os_interval_ms=-1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The checks call Python dozens of times; a version manager's shim in front
# of it costs a third of a second a call, so the interpreter it picks is
# found once and called directly.
if python_exe=$(python3 -c 'import sys; print(sys.executable)' 2>/dev/null) &&
  [ -x "$python_exe" ]; then
  python3() { "$python_exe" "$@"; }
fi
failures=0
failed_cases=()

# fail LABEL: counts a failed check, named by LABEL; finish names it again.
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
  failed_cases+=("$*")
}

# rec NUMBER TIME EVENT_ID STRINGS...: one CSV row of the RemoteAccess source.
rec() {
  local n=$1 t=$2 id=$3 row
  shift 3
  row="$n,$t,$t,$id,4,0,RemoteAccess,RAS1"
  for s in "$@"; do row+=",$s"; done
  echo "$row"
}

# mklog DIR [make options...]: the log DIR/SysEvent.Evt from the rows on stdin.
mklog() {
  local dir=$1
  shift
  mkdir -p "$dir"
  { echo "number,generated,written,event_id,type,category,source,computer,strings"; cat; } \
    >"$dir/log.csv"
  "$tool" make "$dir/log.csv" "$dir/SysEvent.Evt" "$@" || fail "velmar-log make $dir"
}

# damage LOG N: breaks the signature of record N in the log file LOG (the
# header's signature comes first), so that the record can't be read.
damage() {
  local sig
  sig=$(grep -obaP 'LfLe' "$1" | sed -n "$(($2 + 1))p" | cut -d: -f1)
  printf 'XXXX' | dd of="$1" bs=1 seek="$sig" conv=notrunc status=none
}

# worked_rows: the worked day. Two users overlap on the 8th (SGT); before
# the window a login and logout, among the day's records unrelated ones and
# records of other event ids from the same source.
worked_rows() {
  rec 1 2026-12-07T10:00:00Z 20017 DIALUP carol COM3
  rec 2 2026-12-07T15:59:59Z 20050 DIALUP carol COM3 a b c d 359 59
  rec 3 2026-12-08T00:30:00Z 1073748859 Schedule start
  rec 4 2026-12-08T01:00:00Z 1073761841 DIALUP alice COM1
  rec 5 2026-12-08T01:30:00Z 20017 DIALUP bob COM2
  rec 6 2026-12-08T02:00:00Z 1073761874 DIALUP alice COM1 "12/8/2026" "9:00 AM" "12/8/2026" "10:00 AM" 60 0
  rec 7 2026-12-08T02:30:00Z 10 x
  rec 8 2026-12-08T03:00:00Z 20050 DIALUP bob COM2 a b c d 90 0
}

# zone_rows: three events around midnight UTC, so the zone decides which
# fall in today's window and at what times.
zone_rows() {
  rec 1 2026-12-07T23:00:00Z 20017 DIALUP mia COM1
  rec 2 2026-12-08T01:00:00Z 20017 DIALUP ned COM2
  rec 3 2026-12-08T02:00:00Z 20050 DIALUP ned COM2
}

# run_velmar DIR [VAR=VALUE...] -- ARGS...: runs velmar as "velmar" with the
# log folder DIR, TZ and the CGI variables unset unless given, the pinned
# clock, and this shell's standard input. Output goes to $work/out.txt,
# messages to $work/err.txt; the exit status is velmar's. With
# VELMAR_RUN_LIMIT=SECONDS among the variables the run is stopped after that
# long (status 124), timed by the real clock.
run_velmar() {
  local dir=$1
  shift
  local envs=()
  while [ "$1" != -- ]; do envs+=("$1"); shift; done
  shift
  (
    run_env "$dir" "${envs[@]+"${envs[@]}"}"
    if [ -n "${VELMAR_RUN_LIMIT:-}" ]; then
      # The limit runs on the real clock; the pinned one is the program's.
      exec env -u LD_PRELOAD timeout "$VELMAR_RUN_LIMIT" env LD_PRELOAD="$LD_PRELOAD" "$velmar" "$@"
    fi
    exec -a velmar "$velmar" "$@"
  ) >"$work/out.txt" 2>"$work/err.txt"
}

# run_env DIR [VAR=VALUE...]: in the subshell of a run, the environment
# run_velmar describes.
run_env() {
  local e
  unset TZ REQUEST_METHOD QUERY_STRING CONTENT_LENGTH VELMAR_RUN_LIMIT
  export VELMAR_LOGDIR=$1 LD_PRELOAD=$faketime_lib FAKETIME_FMT=%s FAKETIME=$now
  shift
  for e in "$@"; do export "${e?}"; done
}

# The note that a log starts after the window's start. The logs of these
# tests are a few records of one day, so most runs give it; the tests of
# the notes check it where it is the subject.
late_note="velmar: .*: oldest record .* lies after the window's start; "

# expect_err LABEL: the last run's messages, apart from the late-start note,
# are the lines of $want_err (none when it is unset or empty).
expect_err() {
  grep -v -e "$late_note" "$work/err.txt" >"$work/err-seen.txt"
  printf '%s' "${want_err:+$want_err$'\n'}" | diff -u - "$work/err-seen.txt" >"$work/err-diff.txt" ||
    { fail "$1: messages"; cat "$work/err-diff.txt"; }
}

# expect_run LABEL EXPECTED_FILE WANT_STATUS GOT_STATUS: the last run's whole
# output equals the file, its status is the one wanted, and its messages are
# those expect_err wants.
expect_run() {
  local label=$1 file=$2 want=$3 got=$4
  diff -u "$file" "$work/out.txt" >"$work/diff.txt" || { fail "$label"; cat "$work/diff.txt"; }
  [ "$got" = "$want" ] || fail "$label: exit status $got, expected $want"
  expect_err "$label"
}

# check NAME STATUS DIR [VAR=VALUE...] -- ARGS...: runs velmar on the log
# folder DIR and compares with expected/NAME.txt.
check() {
  local name=$1 want=$2 dir=$3
  shift 3
  run_velmar "$dir" "$@"
  local got=$?
  while [ "$1" != -- ]; do shift; done
  shift
  expect_run "$name ($*)" "$expected/$name.txt" "$want" "$got"
}

# finish [TEXT]: the script's result from the failures counted. A failing
# script ends with the name of every check that failed, one a line, so they
# need not be picked out from among the diffs above; a passing one with
# TEXT.
finish() {
  if [ "$failures" != 0 ]; then
    echo "$failures failure(s):"
    printf '  FAILED: %s\n' "${failed_cases[@]}"
    exit 1
  fi
  echo "${1:-all runs match}"
}
