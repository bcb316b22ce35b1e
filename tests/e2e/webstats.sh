#!/usr/bin/env bash
# End-to-end, the user summary behind a real web server: 50 requests at once
# for a month with user statistics, all run by lighttpd in the one working
# folder of the CGI program. Every page must come back whole, carry the user
# totals computed from the log, and leave no index file behind.
source "${VELMAR_SOURCE_DIR:?}/tests/e2e/lib.sh"
source "$src/tests/e2e/month.sh"
source "$src/tests/web/lighttpd.sh"

requests=50
query='offset=-30&user=1'
month_log

# The page expected: the command-line report of the same settings, run in
# a folder of its own, framed as a page (title in <h3>, the rest in <pre>).
cli=$(mktemp -d "$work/cli.XXXXXX")
(cd "$cli" && run_velmar "$big" -- -30 +u </dev/null) || fail "command line: exit status $?"
user_rows "$work/out.txt" | diff -u "$work/big.want" - >/dev/null || fail "command line: user totals"
{
  printf '<h3>%s</h3>\n<p><pre>' "$(head -n 1 "$work/out.txt")"
  tail -n +2 "$work/out.txt"
} >"$work/month.page"

server_env=(LD_PRELOAD="$faketime_lib" FAKETIME_FMT=%s FAKETIME="$now" ASAN_OPTIONS="$ASAN_OPTIONS")
[ -n "${UBSAN_OPTIONS:-}" ] && server_env+=(UBSAN_OPTIONS="$UBSAN_OPTIONS")
web_start "$velmar" "$big" '' "${server_env[@]}" || { echo "FAIL: lighttpd did not start"; exit 1; }

# A file of the name a shared index would have: it must come through the
# load untouched (the month's index fits in the index's page cache, so runs
# sharing one file could still give right totals).
echo precious >"$WEB_WORKDIR/velmar.tmp"

# fetch_month I: one request, its page in $work/once.I, status and type in
# $work/code.I.
fetch_month() {
  curl -sS --noproxy '*' --max-time 120 -o "$work/once.$1" -w '%{http_code} %{content_type}' \
    "$WEB_CGI_URL?$query" >"$work/code.$1" 2>"$work/curl.$1"
}

# watch_index: while the requests run, the most index files seen at once
# in the program's working folder (how far the runs overlapped).
most_indexes=0
watch_index() {
  local n
  while kill -0 "${at_once_pids[@]}" 2>/dev/null; do
    n=$(find "$WEB_WORKDIR" -maxdepth 1 -name 'velmar*.tmp' ! -name velmar.tmp | wc -l)
    [ "$n" -le "$most_indexes" ] || most_indexes=$n
    sleep 0.01
  done
}

start=$(date +%s%N)
same_totals_at_once "$requests" fetch_month watch_index
wall=$((($(date +%s%N) - start) / 1000000))
# Pages with other totals are counted already; add the other broken ones.
broken=$at_once_failed
for ((i = 1; i <= requests; i++)); do
  code=$(cat "$work/code.$i" 2>/dev/null)
  if [ "$code" != "200 text/html; charset=utf-8" ] || ! cmp -s "$work/month.page" "$work/once.$i"; then
    user_rows "$work/once.$i" | cmp -s "$work/big.want" - && broken=$((broken + 1))
    fail "request $i: answered '$code', page not whole $(cat "$work/curl.$i")"
  fi
done
printf 'requests: %d at once, failures: %d, wall: %d.%03d s, index files at once: at most %d\n' \
  "$requests" "$broken" $((wall / 1000)) $((wall % 1000)) "$most_indexes"

[ "$(cat "$WEB_WORKDIR/velmar.tmp" 2>/dev/null)" = precious ] || fail "velmar.tmp was touched"
left=$(find "$WEB_WORKDIR" -mindepth 1 ! -name velmar.cgi ! -name velmar.tmp)
[ -z "$left" ] || fail "left in the program's working folder: $left"
# Nothing on the server's log or its standard error but the note that the
# month's log starts after the window's start.
cat "$WEB_DIR/error.log" "$WEB_DIR/lighttpd.out" >"$work/server.log"
if grep -v -e 'server started' -e "$late_note" "$work/server.log" | grep -q .; then
  fail "the server's log holds messages"
  cat "$work/server.log"
fi

web_stop
finish "all $requests pages whole with the month's user totals"
