#!/usr/bin/env bash
# End-to-end, CGI mode without a web server: the real `velmar` run with the
# CGI variables a server sets (and a POST body on standard input), its whole
# page compared with pages written by hand under expected/.
source "${VELMAR_SOURCE_DIR:?}/tests/e2e/lib.sh"

# page NAME STATUS DIR [VAR=VALUE...] [-- ARGS...]: runs velmar on the log
# folder DIR with the variables given and $body (if set) on standard input,
# and compares with expected/NAME (a .html page, or the .txt of a
# command-line run).
page() {
  local name=$1 want=$2 dir=$3 file
  shift 3
  local envs=() args=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do envs+=("$1"); shift; done
  [ $# -gt 0 ] && { shift; args=("$@"); }
  file=$expected/$name
  [ -f "$file" ] || file=$expected/$name.html
  printf '%s' "${body-}" | run_velmar "$dir" "${envs[@]+"${envs[@]}"}" -- "${args[@]+"${args[@]}"}"
  expect_run "$name (${envs[*]+"${envs[*]}"} -- ${args[*]+"${args[*]}"})" "$file" "$want" $?
}

# get NAME STATUS DIR QUERY [...]: a GET with QUERY_STRING=QUERY.
get() {
  local name=$1 want=$2 dir=$3 query=$4
  shift 4
  body='' page "$name" "$want" "$dir" REQUEST_METHOD=GET "QUERY_STRING=$query" "$@"
}

# post NAME STATUS DIR BODY [...]: a POST of the form body BODY.
post() {
  local name=$1 want=$2 dir=$3
  body=$4
  shift 4
  page "$name" "$want" "$dir" REQUEST_METHOD=POST "CONTENT_LENGTH=${#body}" "$@"
  unset body
}

# bare PAGE_FILE: the report of a page without its CGI header and framing,
# and without the comment around the port enumeration, as the command line
# writes it.
bare() {
  tail -n +3 "$1" | sed -e '1s|^<h3>\(.*\)</h3>$|\1|' -e '2s|^<p><pre>||' -e 's/<!---//; s/--->//'
}

export LC_ALL=C # ${#body} counts bytes
worked_rows | mklog "$work/worked"

# --- GET and POST; the defaults; the command line is never read. ---
page cgi-worked 0 "$work/worked" REQUEST_METHOD=GET
page cgi-worked 0 "$work/worked" REQUEST_METHOD=GET -- -1 +w3 Title -l
get cgi-worked 0 "$work/worked" ''
get cgi-worked 0 "$work/worked" 'offset=&title2=&width='
post cgi-worked 0 "$work/worked" '' -- -1
get cgi-titles 0 "$work/worked" 'title1=North+pool&title2=&offset=0'
post cgi-titles 0 "$work/worked" 'title1=North%20pool&title2='
get cgi-nolist 0 "$work/worked" 'nolist=0'
post cgi-nolist 0 "$work/worked" 'title1=&nolist=on'
mkdir -p "$work/named" && cp "$work/worked/SysEvent.Evt" "$work/named/" && mkdir "$work/named/RAS1"
mv "$work/named/SysEvent.Evt" "$work/named/RAS1/"
post cgi-computer 0 "$work/named" 'offset=-1&computername=%5C%5CRAS1&title1=Monthly&width=6'

# --- The date field: today's date is offset 0, and a date wins over an
# offset; a date that does not exist is the Bad Date page, before the port
# list is read. ---
get cgi-worked 0 "$work/worked" 'date=2026-12-08'
post cgi-worked 0 "$work/worked" 'offset=-3&date=2026-12-08'
get cgi-bad-date 2 "$work/worked" 'date=2026-02-30&table=1'
post cgi-bad-date 2 "$work/worked" 'date=2026-13-01&offset=0'

# --- Failures inside the page; no file outside the log folder. ---
missing="No such file or directory"
want_err="velmar: $work/named/SysEvent.Evt: $missing" get cgi-cant-open 2 "$work/named" ''
want_err="velmar: $work/worked/NOSUCH/SysEvent.Evt: $missing" \
  get cgi-cant-open 2 "$work/worked" 'computername=%5C%5CNOSUCH'
mkdir -p "$work/jail/logs" && cp "$work/worked/SysEvent.Evt" "$work/jail/"
for name in '%5C%5C..' '..' '%5C%5C..%2F..' '%5C%5C.%2F..' '%5C%5C%2Fetc' '%5C%5Clogs%2F..'; do
  want_err="velmar: $(printf '%b' "${name//%/\\x}"): not a valid computer name" \
    post cgi-cant-open 2 "$work/jail/logs" "computername=$name"
done

# --- The port enumeration stands inside an HTML comment, also when it
# fails; the error line follows it. ---
want_err="velmar: $work/named/RasPorts.txt: $missing" get cgi-ports-fail 2 "$work/named" 'table=1'
mkdir -p "$work/noports" && cp "$work/worked/SysEvent.Evt" "$work/noports/"
printf 'A\n\nB\n' >"$work/noports/RasPorts.txt"
want_err="velmar: $work/noports/RasPorts.txt: invalid data: an empty port name" \
  post cgi-ports-fail 2 "$work/noports" 'port=1'
: >"$work/noports/RasPorts.txt"
get cgi-ports-none 2 "$work/noports" 'port=1&table=1'

# --- A form field turns a flag on whatever its value: table=0 gives the
# report that +t gives on the command line. ---
printf 'COM1\nCOM2\nCOM3\n' >"$work/worked/RasPorts.txt"
for flags in 'table=0:+t' 'table=0&gstat=0&port=0:+t +g +p' 'table=0&gstat=0&port=0&user=0:+t +g +p +u'; do
  run_velmar "$work/worked" REQUEST_METHOD=GET "QUERY_STRING=${flags%%:*}" -- </dev/null
  bare "$work/out.txt" >"$work/flags-page.txt"
  read -ra options <<<"${flags#*:}"
  run_velmar "$work/worked" -- 0 "${options[@]}" </dev/null
  cmp -s "$work/flags-page.txt" "$work/out.txt" ||
    { fail "${flags%%:*} differs from ${flags#*:}"; diff "$work/out.txt" "$work/flags-page.txt"; }
done

# --- The statistics inside the page: every summary on, three ports
# listed (so no interval has all of them busy and COM3, never used, still
# gets its row). ---
get cgi-stats 0 "$work/worked" 'user=1&gstat=1&port=1&table=1'
post cgi-stats 0 "$work/worked" 'user=0&port=0&gstat=0&table=0'

# --- Charts: the page is a whole HTML document: the report's page with a
# doctype, the language, the character set, a viewport, a <title> of the
# titles and a style before the heading; then the charts' section, a link
# to the report first; then the report's own block, closed after its last
# line. After an error there are no charts. ---
# chart_page QUERY CHARTS [NOTES]: QUERY with a chart field added gives its
# own page so framed, CHARTS charts in the section and the lines NOTES
# (each "<p>...</p>") between the link and the first chart. Each run ends
# within $chart_limit seconds (each has its own limit); TZ is $chart_tz
# when set; the logs are those of $chart_dir.
chart_limit=60
chart_tz=
chart_dir=$work/worked
chart_run() {
  local envs=(REQUEST_METHOD=GET "QUERY_STRING=$1")
  [ -n "$chart_tz" ] && envs+=("TZ=$chart_tz")
  run_velmar "$chart_dir" "${envs[@]}" VELMAR_RUN_LIMIT="$chart_limit" -- </dev/null
}
chart_page() {
  local query=$1 charts=$2 notes=${3:-} got title
  chart_run "$query"
  cp "$work/out.txt" "$work/plain.html"
  chart_run "$query&chart=1"
  # The page's top: the CGI header, the document's head, the heading.
  title=$(sed -n '3s|^<h3>\(.*\)</h3>$|\1|p' "$work/plain.html")
  {
    head -n 2 "$work/plain.html"
    printf '%s\n' '<!DOCTYPE html>' '<html lang="en">' '<meta charset="utf-8">' \
      '<meta name="viewport" content="width=device-width, initial-scale=1">' \
      "<title>$title</title>" '<style>pre{overflow-x:auto}</style>'
    sed -n 3p "$work/plain.html"
    printf '%s\n' '<div id="charts">' '<p><a href="#report">Jump to the report</a></p>'
    [ -z "$notes" ] || printf '%s\n' "$notes"
  } >"$work/want-top.html"
  head -n "$(wc -l <"$work/want-top.html")" "$work/out.txt" | cmp -s - "$work/want-top.html" ||
    { fail "$query&chart=1: the page's top"; diff "$work/want-top.html" "$work/out.txt" | head; }
  # The section's charts, each whole; the section closes before the report.
  sed -n '/^<div id="charts">$/,/^<\/div>$/p' "$work/out.txt" >"$work/section.html"
  got=$(grep -c '^<svg ' "$work/section.html")
  [ "$got" = "$charts" ] || fail "$query&chart=1: $got charts, not $charts"
  [ "$(grep -c '^</svg>$' "$work/section.html")" = "$charts" ] || fail "$query&chart=1: a chart cut"
  [ "$(tail -n 1 "$work/section.html")" = '</div>' ] || fail "$query&chart=1: the section unclosed"
  # The report: the page's without charts, in a block the link finds.
  # (A report may end without a line end: "</pre>" follows its last byte.)
  sed -e '3,8d' -e '/^<div id="charts">$/,/^<\/div>$/d' -e 's|^<p><pre id="report">|<p><pre>|' \
    -e '$ s|</pre>$||' "$work/out.txt" >"$work/report.html"
  [ "$(tail -c 7 "$work/out.txt")" = '</pre>' ] || fail "$query&chart=1: the report's block unclosed"
  [ "$(cat "$work/plain.html")" = "$(cat "$work/report.html")" ] ||
    { fail "$query&chart=1: the report part"; diff "$work/plain.html" "$work/report.html" | head; }
}
# late TIME: the page's note on a log whose oldest record, at TIME, lies
# after the window's start.
late() {
  echo "<p>The log: oldest record $1 lies after the window's start; the time before it counts as \
0 lines in use</p>"
}
chart_page '' 1
chart_page 'gstat=1&port=1&table=1&offset=-3' 3 "$(late '07 Dec 2026 18:00:00')"
chart_page 'user=1&nolist=1&duration=72' 2
# Any window in bounded time: from the year 1 (a probe a week in a zone with
# daylight time, none in a fixed zone), in a zone whose clock moves by half
# an hour (which once held a core for good), a window long after the log.
chart_limit=5
while IFS='|' read -r chart_tz oldest; do
  chart_page 'date=0001-01-01&gstat=1' 3 "$(late "$oldest")"
  chart_page 'date=2026-10-01&nolist=1&table=1' 2 "$(late "$oldest")"
done <<'EOF'
|07 Dec 2026 18:00:00
EST5EDT,M3.2.0,M11.1.0|07 Dec 2026 05:00:00
Australia/Lord_Howe|07 Dec 2026 21:00:00
EOF
chart_tz=
chart_page 'date=9999-12-20&duration=240' 2
chart_limit=60
# The other notes on the log's coverage, as standard error has them: a
# stale copy, a log that ran out before the window's end; the log named
# by its computer, not its path. Time no log covers is shaded and said to
# be so, never drawn as no lines in use.
{
  rec 1 2026-12-06T10:00:00Z 20017 DIALUP amy COM1
  rec 2 2026-12-06T11:30:00Z 20050 DIALUP amy COM1
} | mklog "$work/covers/STALE"
{
  rec 1 2026-12-08T01:00:00Z 20017 DIALUP amy COM1
  rec 2 2026-12-08T02:50:00Z 20050 DIALUP amy COM1
} | mklog "$work/covers/RANOUT"
chart_dir=$work/covers
chart_page 'computername=STALE&gstat=1' 2 "<p>The log of \\\\STALE: newest record 06 Dec 2026 \
19:30:00 lies before the window's start; a stale copy: the whole window is the state after it</p>"
grep -q '>not covered</text>' "$work/section.html" || fail "a stale copy's window not shaded"
chart_page 'computername=%5C%5CRANOUT&duration=11' 1 "<p>The log of \\\\RANOUT: oldest record 08 \
Dec 2026 09:00:00 lies after the window's start; the time before it counts as 0 lines in use</p>
<p>The log ran out before the window's end, 08 Dec 2026 11:00:00; the scan ran on to the current \
time, 08 Dec 2026 12:00:00, as the report takes a log that has run out to be current: the \
statistics count the time after the window's end too</p>"
grep -q '>not covered</text>' "$work/section.html" || fail "the time before the log not shaded"
chart_dir=$work/worked
run_velmar "$work/worked" REQUEST_METHOD=GET 'QUERY_STRING=chart=1&computername=NOSUCH' -- </dev/null
grep -q -e '<svg' -e '</pre>' "$work/out.txt" && fail "a chart after an error"
tail -n 1 "$work/out.txt" | grep -qx "Error: Can't Open Log" || fail "the error is not the page's end"

# --- Escaping: a title from the form and names from the log. ---
{
  rec 1 2026-12-08T01:00:00Z 20017 DIALUP '<i>eve</i>&co' 'COM<1>'
  rec 2 2026-12-08T02:00:00Z 20050 DIALUP '<i>eve</i>&co' 'COM<1>'
} | mklog "$work/escape"
get cgi-escape 0 "$work/escape" 'title1=%3Cscript%3Ealert(%22x%22)%3C%2Fscript%3E&width=20'
page escape-cli.txt 0 "$work/escape" -- 0 '<b>&' +w20

# User names in the user summary: escaped whole, also one cut at 20 bytes
# right after an ampersand, and padded by their length in the log.
{
  rec 1 2026-12-08T01:00:00Z 20017 DIALUP '<i>eve</i>&co' 'COM<1>'
  rec 2 2026-12-08T02:00:00Z 20050 DIALUP '<i>eve</i>&co' 'COM<1>' a b c d 60 0
  rec 3 2026-12-08T02:10:00Z 20050 DIALUP 'abcdefghijklmnopqrs&tuv' COM2 a b c d 2 5
  rec 4 2026-12-08T02:20:00Z 20050 DIALUP 'amy&bo' COM3 a b c d 1 30
  rec 5 2026-12-08T02:30:00Z 20050 DIALUP 'amy&bo' COM3 a b c d 0 30
} | mklog "$work/escape-users"
want_err="velmar: 3 disconnects on ports not in use; the line counts follow connects and disconnects (add +p to count by port)" \
  get cgi-stats-escape 0 "$work/escape-users" 'user=1&nolist=1'

# --- The zone: a tz field naming a file is dropped (here a real zone file
# that would give UTC times), a zone name or rule is honoured. ---
zone_rows | mklog "$work/tz"
for tz in '%3A%2Fetc%2Fpasswd' '%2Fx' '..%2Fx' '%3AUTC' '%2Fusr%2Fshare%2Fzoneinfo%2FUTC' \
  '..%2Fzoneinfo%2FUTC' 'Etc%2F..%2FUTC'; do
  get cgi-tz-sgt 0 "$work/tz" "tz=$tz"
done
get cgi-tz-utc 0 "$work/tz" '' TZ=UTC0
get cgi-tz-utc 0 "$work/tz" 'tz=%2Fusr%2Fshare%2Fzoneinfo%2FAsia%2FSingapore' TZ=UTC0
get cgi-tz-sgt 0 "$work/tz" 'tz=Asia%2FSingapore' TZ=UTC0
post cgi-tz-est 0 "$work/tz" 'tz=EST5EDT%2CM3.2.0%2F2'
# The command line's +z is not filtered.
page tz-utc.txt 0 "$work/tz" -- 0 +z/usr/share/zoneinfo/UTC

# --- Downloads: what velmar-log answers for the report's computer and
# window, byte for byte, as an attachment named for the computer, the
# window's first day and the answer; the page with its error line when
# there is no whole answer to send. ---
mkdir -p "$work/pool"
LD_PRELOAD=$faketime_lib FAKETIME_FMT=%s FAKETIME=$now TZ=SGT-8 \
  "$tool" sample "$work/pool/RAS2" --days 9 --ports 4 --seed 3 >/dev/null || fail "sample"
# download QUERY TYPE FILE ANSWER ARGS...: the download of QUERY is TYPE,
# named FILE, and holds what "velmar-log ANSWER LOG ARGS..." writes.
download() {
  local query=$1 type=$2 file=$3 answer=$4
  shift 4
  get_status=0
  run_velmar "$work/pool" REQUEST_METHOD=GET "QUERY_STRING=$query" \
    ${download_tmp:+"TMPDIR=$download_tmp"} -- </dev/null || get_status=$?
  [ "$get_status" = 0 ] || fail "$query: status $get_status: $(cat "$work/err.txt")"
  printf 'Content-type: %s\nContent-Disposition: attachment; filename="%s"\n\n' "$type" "$file" |
    cmp -s - <(head -n 3 "$work/out.txt") || fail "$query: header $(head -n 2 "$work/out.txt")"
  (unset TZ; LD_PRELOAD=$faketime_lib FAKETIME_FMT=%s FAKETIME=$now \
    exec "$tool" "$answer" "$work/pool/RAS2/SysEvent.Evt" "$@") >"$work/answer.txt"
  tail -n +4 "$work/out.txt" | cmp -s - "$work/answer.txt" ||
    { fail "$query: not velmar-log's $answer $*"; tail -n +4 "$work/out.txt" | diff - "$work/answer.txt" | head; }
}
csv='text/csv; charset=utf-8'
download 'export=busy&format=csv&offset=-6&computername=%5C%5CRAS2' "$csv" \
  velmar-RAS2-2026-12-02-busy.csv busy --since 2026-12-02 --until 2026-12-09 --format csv
download 'export=busy&format=json&computername=RAS2&date=2026-12-05&duration=30' application/json \
  velmar-RAS2-2026-12-05-busy.json busy --since 2026-12-05 --until 2026-12-06T06:00 --format json
download 'export=sessions&computername=RAS2&offset=-1' "$csv" \
  velmar-RAS2-2026-12-07-sessions.csv sessions --since 2026-12-07 --until 2026-12-09 --format csv
download 'export=sessions&format=json&computername=RAS2&offset=-2&duration=5' application/json \
  velmar-RAS2-2026-12-06-sessions.json sessions --since 2026-12-06 --until 2026-12-06T05:00 \
  --format json
download 'export=users&format=csv&computername=RAS2&offset=-8&table=1&chart=1' "$csv" \
  velmar-RAS2-2026-11-30-users.csv users --since 2026-11-30 --until 2026-12-09 --format csv
mkdir -p "$work/spool"
download_tmp=$work/spool download 'export=users&format=json&computername=RAS2&tz=UTC0' \
  application/json velmar-RAS2-2026-12-08-users.json users --since 2026-12-08T00:00Z \
  --until 2026-12-09T00:00Z --format json --utc
[ -z "$(ls -A "$work/spool")" ] || fail "the download left its spool in TMPDIR"

# Refusals and failures: the page, no file.
get cgi-bad-export 2 "$work/pool" 'export=sessions&format=xml'
get cgi-bad-export 2 "$work/pool" 'export=Busy'
post cgi-bad-export 2 "$work/pool" 'export=capacity&format=csv'
get cgi-bad-date 2 "$work/pool" 'export=busy&date=2026-02-29'
# A window whose times have no four-digit year gets no chart and no file;
# one that ends with the year 9999 does. A busy table of too many hours
# says so, not that the log failed.
last_day=$((($(date -ud 9999-12-31 +%s) - $(date -ud 2026-12-08 +%s)) / 86400))
first_day=$((($(date -ud 0001-01-01 +%s) - $(date -ud 2026-12-08 +%s)) / 86400))
bad_window='velmar: offset %s days, duration %s hours: the window leaves the years 0001 to 9999, which the charts and downloads write their times in'
# page | query | offset | duration
while IFS='|' read -r name query offset duration; do
  # shellcheck disable=SC2059 # the note's text is the format
  want_err=$(printf "$bad_window" "$offset" "$duration") get "$name" 2 "$work/pool" "$query" \
    VELMAR_RUN_LIMIT=5
done <<EOF
cgi-bad-window|export=busy&computername=RAS2&offset=-2147483648&duration=2|-2147483648|2
cgi-bad-window|export=sessions&computername=RAS2&offset=2147483647|2147483647|0
cgi-bad-window|export=users&format=json&computername=RAS2&date=9999-12-31&duration=24|$last_day|24
cgi-bad-window-chart|chart=1&title1=Pool&computername=RAS2&offset=-1000000|-1000000|0
cgi-bad-window-chart|chart=1&title1=Pool&computername=RAS2&date=0001-01-01&tz=UTC0&duration=-1|$first_day|-1
EOF
# Without charts or a download the report takes any offset, in time the
# log bounds: the scan from the most negative offset's day, and one that
# ends before a window far ahead starts, with its time below zero.
get cgi-far-back 0 "$work/worked" 'offset=-2147483648&nolist=1&gstat=1&user=1' VELMAR_RUN_LIMIT=5
get cgi-far-ahead 0 "$work/worked" 'offset=2147483647&gstat=1&user=1' VELMAR_RUN_LIMIT=5
download 'export=sessions&computername=RAS2&date=9999-12-31&duration=23' "$csv" \
  velmar-RAS2-9999-12-31-sessions.csv sessions --since 9999-12-31 --until 9999-12-31T23:00 \
  --format csv
want_err="velmar: more than 1000000 hours: the busy download counts by the hour; choose a later first day or a duration" \
  get cgi-bad-window 2 "$work/pool" 'export=busy&computername=RAS2&date=0001-01-01' VELMAR_RUN_LIMIT=5
want_err="velmar: $work/pool/SysEvent.Evt: $missing" get cgi-cant-open 2 "$work/pool" 'export=users'
want_err="velmar: ..: not a valid computer name" \
  get cgi-cant-open 2 "$work/pool" 'export=users&computername=..'
# The answer opens the log itself: a log it can't open is still told as
# the report tells it, also for busy, whose port list beside the log is
# read first, and for a file that is no event log.
mkdir -p "$work/pool/TEXT" && echo 'not a log' >"$work/pool/TEXT/SysEvent.Evt"
while IFS='|' read -r query reason; do
  want_err="velmar: $reason" get cgi-cant-open 2 "$work/pool" "$query"
done <<EOF
export=busy&format=json|$work/pool/SysEvent.Evt: $missing
export=sessions&computername=NOSUCH|$work/pool/NOSUCH/SysEvent.Evt: $missing
export=busy&computername=TEXT|$work/pool/TEXT/SysEvent.Evt: not an event log file
EOF
# busy needs a port list beside the log it can use, or none at all.
printf 'COM1\n\nCOM2\n' >"$work/pool/RAS2/RasPorts.txt"
want_err="velmar: $work/pool/RAS2/RasPorts.txt: invalid data: a blank line" \
  get cgi-download-ports 2 "$work/pool" 'export=busy&computername=RAS2'
# A log damaged half way: no file at all, however much was answered.
{
  rec 1 2026-12-08T01:00:00Z 20017 DIALUP alice COM1
  rec 2 2026-12-08T02:00:00Z 20017 DIALUP bob COM2
  rec 3 2026-12-08T03:00:00Z 20050 DIALUP bob COM2
} | mklog "$work/pool"
damage "$work/pool/SysEvent.Evt" 2
for answer in sessions users busy; do
  want_err="velmar: $work/pool/SysEvent.Evt: damaged: record 2 can't be read" \
    get cgi-download-damaged 2 "$work/pool" "export=$answer&title1=Pool&format=json"
done
# The answer is spooled under TMPDIR, and without a spool there is no file
# either: a damaged log, or a whole one, gives the page, never a file
# streamed as far as it got.
: >"$work/plain-file"
for tmp in "$work/nowhere:No such file or directory" "$work/plain-file:Not a directory"; do
  for log in "$work/pool" "$work/pool-whole"; do
    [ -d "$work/pool-whole" ] || { mkdir -p "$work/pool-whole"; cp "$work/worked/SysEvent.Evt" "$work/pool-whole/"; }
    want_err="velmar: ${tmp%%:*}: download spool: ${tmp#*:}" get cgi-download-nospool 2 "$log" \
      'export=sessions&title1=Pool' "TMPDIR=${tmp%%:*}"
  done
done

# A page with charts holds its report in a spool until the charts are
# drawn: without one, the page says so, and never shows a report without
# its charts.
want_err="velmar: $work/nowhere: page spool: No such file or directory" \
  get cgi-chart-nospool 2 "$work/worked" 'chart=1&title1=Pool' "TMPDIR=$work/nowhere"

# --- A negative CONTENT_LENGTH is no POST form, and without a GET the
# command line decides: the usage text, or the plain report. ---
body='offset=-1' page usage.txt 1 "$work/worked" REQUEST_METHOD=POST CONTENT_LENGTH=-9
body='offset=-1' page worked.txt 0 "$work/worked" REQUEST_METHOD=POST CONTENT_LENGTH=-9 -- 0

finish "all CGI pages match"
