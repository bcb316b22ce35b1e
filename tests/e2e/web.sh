#!/usr/bin/env bash
# End-to-end behind a real web server: a private lighttpd on 127.0.0.1
# serves the form page and `velmar` as /velmar.cgi. GET and POST give the
# hand-written pages (the CGI header turned into the HTTP one), a computer
# name cannot reach a log outside the log folder, a date is the offset it
# names, each download parses and is velmar-log's answer, and 100 report
# requests and 50 chart requests at once all come back whole and right.
source "${VELMAR_SOURCE_DIR:?}/tests/e2e/lib.sh"
source "$src/tests/web/lighttpd.sh"

# body NAME: the page expected/NAME.html as a browser receives it, without
# the CGI header.
body() {
  tail -n +3 "$expected/$1.html" >"$work/$1.body"
  echo "$work/$1.body"
}

# fetch NAME [CURL_ARGS...]: one request to the program; its body must equal
# the page NAME and its type be text/html.
fetch() {
  local name=$1 type
  shift
  type=$(curl -sS --noproxy '*' --max-time 30 -o "$work/got.html" -w '%{http_code} %{content_type}' \
    "$@" "$WEB_CGI_URL") || { fail "$name ($*): no answer"; return; }
  [ "$type" = "200 text/html; charset=utf-8" ] || fail "$name ($*): answered '$type'"
  cmp -s "$(body "$name")" "$work/got.html" ||
    { fail "$name ($*)"; diff "$work/$name.body" "$work/got.html"; }
}

# The local log in logs/, the zone log for \\ZONE, and one level up a
# different log that a name climbing out of logs/ would reach.
worked_rows | mklog "$work/logs"
zone_rows | mklog "$work/logs/ZONE"
zone_rows | mklog "$work"
LD_PRELOAD=$faketime_lib FAKETIME_FMT=%s FAKETIME=$now TZ=SGT-8 \
  "$tool" sample "$work/logs/WEEK" --days 7 >/dev/null || fail "velmar-log sample"
# The program's environment: the pinned clock, and under AddressSanitizer
# the options of this run (lighttpd hands its own environment on to nobody).
server_env=(LD_PRELOAD="$faketime_lib" FAKETIME_FMT=%s FAKETIME="$now" ASAN_OPTIONS="$ASAN_OPTIONS")
[ -n "${UBSAN_OPTIONS:-}" ] && server_env+=(UBSAN_OPTIONS="$UBSAN_OPTIONS")
web_start "$velmar" "$work/logs" '' "${server_env[@]}" || { echo "FAIL: lighttpd did not start"; exit 1; }

curl -sS --noproxy '*' --max-time 30 "$WEB_URL" | cmp -s - "$src/www/index.html" ||
  fail "the form page is not www/index.html"
fetch cgi-worked
fetch cgi-worked --get --data ''
fetch cgi-titles --get --data 'title1=North+pool&title2='
fetch cgi-titles --data 'title1=North%20pool&title2='
fetch cgi-nolist --data 'nolist=0'
fetch cgi-tz-est --data 'computername=%5C%5CZONE&tz=EST5EDT%2CM3.2.0%2F2'
fetch cgi-tz-sgt --data 'computername=%5C%5CZONE&tz=%2Fusr%2Fshare%2Fzoneinfo%2FUTC'
for name in '%5C%5C..' '..' '%5C%5C..%2Flogs%2F..' '%5C%5C%2Ftmp'; do
  fetch cgi-cant-open --data "computername=$name"
  fetch cgi-cant-open --get --data "computername=$name"
done

# A date: today's is offset 0; one that does not exist is the Bad Date page.
fetch cgi-worked --data 'date=2026-12-08'
fetch cgi-worked --get --data 'offset=-4&date=2026-12-08'
fetch cgi-bad-date --data 'date=2026-02-30'

# download QUERY TYPE FILE ANSWER ARGS...: the download of the week's log
# is TYPE, named FILE, parses, and holds "velmar-log ANSWER LOG ARGS...".
download() {
  local query=$1 type=$2 file=$3 answer=$4
  shift 4
  curl -sS --noproxy '*' --max-time 30 -D "$work/headers.txt" -o "$work/got.txt" \
    --data "computername=WEEK&$query" "$WEB_CGI_URL" || { fail "$query: no answer"; return; }
  grep -qix "content-type: $type"$'\r' "$work/headers.txt" ||
    fail "$query: not $type: $(cat "$work/headers.txt")"
  grep -qx "Content-Disposition: attachment; filename=\"$file\""$'\r' "$work/headers.txt" ||
    fail "$query: not named $file: $(cat "$work/headers.txt")"
  python3 - "$work/got.txt" "$type" <<'EOF_PY' || fail "$query: does not parse"
import csv, json, sys
text = open(sys.argv[1], encoding="utf-8", newline="").read()
if sys.argv[2].startswith("application/json"):
    json.loads(text)
else:
    rows = list(csv.reader(text.splitlines()))
    assert len(rows) > 1 and all(len(r) == len(rows[0]) for r in rows), "uneven rows"
EOF_PY
  (unset TZ; LD_PRELOAD=$faketime_lib FAKETIME_FMT=%s FAKETIME=$now \
    exec "$tool" "$answer" "$work/logs/WEEK/SysEvent.Evt" "$@") >"$work/answer.txt"
  cmp -s "$work/got.txt" "$work/answer.txt" || fail "$query: not velmar-log's $answer $*"
}
csv='text/csv; charset=utf-8'
for format in csv json; do
  type=$csv
  [ "$format" = json ] && type=application/json
  download "export=sessions&format=$format&offset=-6" "$type" \
    "velmar-WEEK-2026-12-02-sessions.$format" sessions --since 2026-12-02 --until 2026-12-09 \
    --format "$format"
  download "export=users&format=$format&date=2026-12-05&duration=48" "$type" \
    "velmar-WEEK-2026-12-05-users.$format" users --since 2026-12-05 --until 2026-12-07 \
    --format "$format"
  download "export=busy&format=$format&offset=-1" "$type" "velmar-WEEK-2026-12-07-busy.$format" \
    busy --since 2026-12-07 --until 2026-12-09 --format "$format"
done

# Charts: a whole document, its three charts ahead of the report, which
# each request holds in a spool of its own; 50 requests at once, each the
# page of a single request.
charts='computername=WEEK&chart=1&gstat=1&table=1&offset=-6'
curl -sS --noproxy '*' --max-time 60 --data "$charts" -o "$work/charts.html" "$WEB_CGI_URL" ||
  fail "charts: no answer"
[ "$(head -n 1 "$work/charts.html")" = '<!DOCTYPE html>' ] || fail "charts: no doctype first"
[ "$(sed -n '/^<div id="charts">$/,/^<\/div>$/p' "$work/charts.html" | grep -c '^<svg ')" = 3 ] ||
  fail "charts: not three charts ahead of the report"
grep -q '^<p><pre id="report">' "$work/charts.html" || fail "charts: no report after them"
[ "$(tail -n 1 "$work/charts.html")" = '</pre>' ] || fail "charts: the report's block unclosed"
"$src/tests/web/load.sh" -n 50 -c 50 -t 120 -d "$charts" "$WEB_CGI_URL" "$work/charts.html" ||
  fail "load: not every chart page came back the same"

# Load: 100 posts at once, each page complete and right.
"$src/tests/web/load.sh" -n 100 -c 100 -t 60 -d 'title1=North+pool&title2=' "$WEB_CGI_URL" \
  "$(body cgi-titles)" || fail "load: not every page came back right"
# What the program writes to its standard error lands in the server's log,
# or, with the server in the foreground as here, on the server's own
# standard error: a line for each refused computer name, the note that the
# zone log starts after the window's start, and nothing else.
cat "$WEB_DIR/error.log" "$WEB_DIR/lighttpd.out" >"$work/server.log"
refused=$(grep -c "velmar: .*: not a valid computer name" "$work/server.log")
[ "$refused" = 8 ] || fail "the server's log holds $refused lines on refused names, not 8"
if grep -v -e 'server started' -e "$late_note" -e 'not a valid computer name' "$work/server.log" |
  grep -q .; then
  fail "the server's log holds other messages"
  cat "$work/server.log"
fi

web_stop
finish "all pages from the web server match"
