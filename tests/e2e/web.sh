#!/usr/bin/env bash
# End-to-end behind a real web server: a private lighttpd on 127.0.0.1
# serves the form page and `velmar` as /velmar.cgi. GET and POST give the
# hand-written pages (the CGI header turned into the HTTP one), a computer
# name cannot reach a log outside the log folder, and 100 requests at once
# all come back whole and right.
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
