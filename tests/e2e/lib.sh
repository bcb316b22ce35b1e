# Shared by the end-to-end scripts (sourced): the real `velmar` on logs made
# by `velmar-log make`, with the clock pinned at 2026-12-08 04:00:00 UTC
# (12:00:00 under the default zone SGT-8); `check` compares a run's whole
# output and exit status with a text written by hand under expected/.
set -u
build=${VELMAR_BUILD_DIR:?}
src=${VELMAR_SOURCE_DIR:?}
velmar=$build/velmar
tool=$build/velmar-log
expected=$src/tests/e2e/expected
now=1796702400
faketime_lib=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n 1)
[ -n "$faketime_lib" ] || { echo "libfaketime not installed (package faketime)"; exit 1; }
# Sanitizer runtimes want to be first; libfaketime is preloaded ahead of them.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
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

# check NAME STATUS DIR [VAR=VALUE...] -- ARGS...: runs velmar as "velmar"
# with the log folder DIR, TZ unset unless given, and the pinned clock.
check() {
  local name=$1 want=$2 dir=$3
  shift 3
  local envs=()
  while [ "$1" != -- ]; do envs+=("$1"); shift; done
  shift
  (
    unset TZ
    export VELMAR_LOGDIR=$dir LD_PRELOAD=$faketime_lib FAKETIME_FMT=%s FAKETIME=$now
    for e in "${envs[@]+"${envs[@]}"}"; do export "${e?}"; done
    exec -a velmar "$velmar" "$@"
  ) >"$work/out.txt" 2>"$work/err.txt"
  local got=$?
  diff -u "$expected/$name.txt" "$work/out.txt" >"$work/diff.txt" ||
    { fail "$name ($*)"; cat "$work/diff.txt"; }
  [ "$got" = "$want" ] || fail "$name ($*): exit status $got, expected $want"
  [ ! -s "$work/err.txt" ] || { fail "$name ($*): wrote to stderr"; cat "$work/err.txt"; }
}
