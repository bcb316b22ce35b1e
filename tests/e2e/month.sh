# shellcheck shell=bash disable=SC2154 # work, tool, now, faketime_lib: lib.sh's, sourced first
# Shared by the end-to-end scripts that check the user summary of a busy
# month (source it after lib.sh): the log of 16 ports over 30 days made with
# `velmar-log sample`, the per-user totals computed from that log with awk,
# and runs at once whose reports must all carry those totals.

# oracle_rows CSV FROM TO [WIDTH]: the rows of the user summary for the
# disconnects generated in [FROM, TO) (UTC texts), computed with awk.
oracle_rows() {
  LC_ALL=C awk -F, -v from="$2" -v to="$3" -v w="${4:-8}" '
    NR > 1 && $4 % 65536 == 20050 && $2 >= from && $2 < to {
      u = substr($10, 1, 20); n[u]++; s[u] += $16 * 60 + $17
    }
    END { for (u in n) printf "%-*s %5d %3d:%2d:%02d\n", w, u, n[u],
            int(s[u] / 3600), int(s[u] / 60) % 60, s[u] % 60 }' "$1" | LC_ALL=C sort
}

# user_rows FILE: the rows of the user summary in a report (a page too).
user_rows() {
  awk '/^User-based Statistics:$/ { on = 1; getline; next }
       on && /^.+ +[0-9]+ +[0-9]+: ?[0-9]+:[0-9][0-9]$/ { print; next }
       { on = 0 }' "$1"
}

# month_log: the month's log in $work/big (as CSV in $work/big.csv), and in
# $work/big.want the user rows that `-30 +u` must give at the pinned clock.
big=$work/big
month_log() {
  LD_PRELOAD=$faketime_lib FAKETIME_FMT=%s FAKETIME=$now TZ=SGT-8 \
    "$tool" sample "$big" --days 30 --ports 16 >/dev/null || fail "velmar-log sample"
  "$tool" dump "$big/SysEvent.Evt" >"$work/big.csv"
  oracle_rows "$work/big.csv" 2026-11-07T16:00:00Z 2026-12-08T16:00:00Z >"$work/big.want"
  [ "$(wc -l <"$work/big.want")" -gt 100 ] || fail "oracle: too few users"
}

# same_totals_at_once N START [STARTED]: runs `START I` for I = 1..N at
# once in the background, each writing its report to $work/once.I; runs
# `STARTED` (if given) once all are started, with their process ids in the
# array at_once_pids; waits for all and checks that
# each report's user rows are $work/big.want. Sets at_once_failed to the
# number of reports that differ. (A load test through a web server passes a
# START that requests the page with curl.)
same_totals_at_once() {
  local n=$1 start=$2 started=${3-} i pids=()
  rm -f "$work"/once.*
  for ((i = 1; i <= n; i++)); do
    "$start" "$i" &
    pids+=($!)
  done
  # shellcheck disable=SC2034 # for the caller's STARTED command
  at_once_pids=("${pids[@]}")
  [ -z "$started" ] || "$started"
  for i in "${pids[@]}"; do wait "$i"; done
  at_once_failed=0
  for ((i = 1; i <= n; i++)); do
    user_rows "$work/once.$i" | diff -u "$work/big.want" - >/dev/null || {
      fail "at once: run $i of $n has other user totals"
      at_once_failed=$((at_once_failed + 1))
    }
  done
}
