#!/usr/bin/env bash
# End-to-end in a real browser: Chromium loads the form from a private
# lighttpd, a person's entries are typed in and submitted, and the report as
# the browser renders it must equal a text written by hand: markup in titles
# and log names shows as text, UTF-8 names show intact, a picked date is the
# offset it names, and Enter in a field asks for the report. The charts of
# a day, a week and a month fit a 390 and a 1280 pixel wide screen, ahead
# of the report, and a download button gives velmar-log's answer as a
# file.
# Screenshots of the form, of each report and of the charts go to
# $VELMAR_BUILD_DIR/web-shots/.
source "${VELMAR_SOURCE_DIR:?}/tests/e2e/lib.sh"
source "$src/tests/web/lighttpd.sh"
[ -d "$src/tests/web/node_modules/playwright-core" ] ||
  { echo "FAIL: playwright-core missing: run scripts/install-deps"; exit 1; }
shots=$build/web-shots

# One Chromium serves every run (starting it costs more than a run): the
# runs are queued, made at once after the server starts, and checked
# afterwards from the files each left in $work: RUN.out (what it printed),
# RUN.err (its failure, empty when none) and RUN.json (its facts).
runs=()

# queue RUN ARGS...: a run of browser.mjs on the form, with ARGS.
queue() {
  local run=$1
  shift
  [ ${#runs[@]} = 0 ] || runs+=(--next)
  runs+=(--url "$WEB_URL" --timeout 60000 --output "$work/$run.out" --errors "$work/$run.err"
    --facts "$work/$run.json" "$@")
}

# submit RUN NAME FIELDS [ARGS...]: queues a run that fills the form with the
# JSON FIELDS and submits it, its screenshots named NAME; checked later by
# submitted.
submit() {
  local run=$1 name=$2 fields=$3
  shift 3
  queue "$run" --fields "$fields" --form-shot "$shots/$name-form.png" \
    --report-shot "$shots/$name-report.png" "$@"
}

# took RUN: the run's output and messages where the checks look for them
# ($work/out.txt, err.txt, facts.json); fails when the run failed.
took() {
  cp "$work/$1.out" "$work/out.txt" 2>/dev/null || : >"$work/out.txt"
  cp "$work/$1.err" "$work/err.txt" 2>/dev/null || echo "$1: no run" >"$work/err.txt"
  cp "$work/$1.json" "$work/facts.json" 2>/dev/null || echo '{}' >"$work/facts.json"
  [ ! -s "$work/err.txt" ]
}

# submitted RUN NAME FIELDS: the rendered heading and report of RUN equal
# expected/NAME.txt.
submitted() {
  took "$1"
  expect_run "$2 ($3)" "$expected/$2.txt" 0 $?
}

# facts_hold LABEL PYTHON-CONDITION: the facts browser.mjs wrote to
# $work/facts.json (as f) meet the condition.
facts_hold() {
  python3 -c "import json, sys; f = json.load(open(sys.argv[1])); sys.exit(0 if ($2) else 1)" \
    "$work/facts.json" || { fail "$1: $2"; cat "$work/facts.json"; }
}

worked_rows | mklog "$work/logs"
{
  rec 1 2026-12-08T01:00:00Z 20017 DIALUP '<i>eve</i>&co' 'COM<1>'
  rec 2 2026-12-08T02:00:00Z 20050 DIALUP '<i>eve</i>&co' 'COM<1>'
} | mklog "$work/logs/ESC"
{
  rec 1 2026-12-08T01:00:00Z 20017 DIALUP 'Zoë' COM1
  rec 2 2026-12-08T01:30:00Z 20017 DIALUP 'José' COM2
  rec 3 2026-12-08T02:00:00Z 20050 DIALUP 'Zoë' COM1
} | mklog "$work/logs/UTF"
for days in 7 30; do
  name=WEEK
  [ "$days" = 7 ] || name=MONTH
  LD_PRELOAD=$faketime_lib FAKETIME_FMT=%s FAKETIME=$now TZ=SGT-8 \
    "$tool" sample "$work/logs/$name" --days "$days" >/dev/null || fail "velmar-log sample $days"
done
server_env=(LD_PRELOAD="$faketime_lib" FAKETIME_FMT=%s FAKETIME="$now" ASAN_OPTIONS="$ASAN_OPTIONS")
[ -n "${UBSAN_OPTIONS:-}" ] && server_env+=(UBSAN_OPTIONS="$UBSAN_OPTIONS")
web_start "$velmar" "$work/logs" '' "${server_env[@]}" || { echo "FAIL: lighttpd did not start"; exit 1; }
mkdir -p "$shots"

titles='{"title1":"Pool <b>&","gstat":false}'
submit titles browser-titles "$titles"
# Enter in the title field shows the report, not a download.
enter='{"title1":"Pool <b>&"}'
submit enter browser-titles "$enter" --enter title1
escape='{"computername":"\\\\ESC","title1":"<script>alert(\"x\")</script>",
  "width":20,"tz":"EST5EDT,M3.2.0/2"}'
submit escape browser-escape "$escape"
# A date picked in the form is the offset it names; it wins over the offset.
date='{"title1":"Pool <b>&","date":"2026-12-08","offset":"-5"}'
submit date browser-titles "$date"
# UTF-8 names from the form and the log: the page says its charset.
utf8='{"computername":"UTF","title1":"Zoë"}'
submit utf8 browser-utf8 "$utf8"

# The charts of the week, tabulated with the general statistics, at a
# phone's and a desktop's width.
for size in 390x844 1280x800; do
  queue "charts-$size" --viewport "$size" \
    --fields '{"computername":"WEEK","title1":"<script>alert(1)</script> Zoë",
      "offset":"-6","chart":true,"gstat":true,"table":true}' \
    --form-shot "$shots/charts-form-${size%x*}.png" --charts-shot "$shots/charts-${size%x*}.png"
done
queue wide --viewport 390x844 \
  --fields '{"computername":"WEEK","offset":"-6","chart":true,"table":true,"width":20}'
# A day's chart and a month's, with screenshots of both at both sizes.
charts=('day|WEEK|0' 'month|MONTH|-29')
for chart in "${charts[@]}"; do
  IFS='|' read -r name computer offset <<<"$chart"
  for size in 390x844 1280x800; do
    queue "$name-$size" --viewport "$size" \
      --fields "{\"computername\":\"$computer\",\"offset\":\"$offset\",\"chart\":true,
        \"gstat\":true,\"port\":true,\"nolist\":true}" \
      --charts-shot "$shots/charts-$name-${size%x*}.png"
  done
done
# A download button: the file velmar-log answers, under the suggested name.
queue download --fields '{"computername":"WEEK","offset":"-6","format":"json"}' \
  --download busy --save "$work/busy.json"

node "$src/tests/web/browser.mjs" "${runs[@]}" >"$work/browser.txt" 2>&1 ||
  echo "browser.mjs: a run failed (each is checked below)"
cat "$work/browser.txt"

submitted titles browser-titles "$titles"
submitted enter browser-titles "$enter"
submitted escape browser-escape "$escape"
submitted date browser-titles "$date"
submitted utf8 browser-utf8 "$utf8"
facts_hold "UTF-8 page" 'f["characterSet"] == "UTF-8"'

# The week's charts: a whole document whose title is the titles, three
# charts ahead of the report with a link down to it, each inside the
# screen, the page no wider than it, the title's markup shown as text in
# every chart's title; the report wider than a phone scrolls within its
# own block.
for size in 390x844 1280x800; do
  took "charts-$size" || fail "charts at $size: $(cat "$work/err.txt")"
  head -n 1 "$work/out.txt" | grep -qx '<script>alert(1)</script> Zoë - Velmar' ||
    fail "charts at $size: heading $(head -n 1 "$work/out.txt")"
  facts_hold "charts at $size" 'len(f["charts"]) == 3 and f["scripts"] == 0'
  facts_hold "a document at $size" \
    'f["standards"] and f["documentTitle"] == "<script>alert(1)</script> Zoë - Velmar"'
  facts_hold "charts first at $size" 'f["chartsFirst"] and f["reportLink"]'
  facts_hold "charts at $size inside the screen" \
    'all(c["left"] >= 0 and c["right"] <= f["viewportWidth"] for c in f["charts"])'
  facts_hold "page at $size not wider than the screen" 'f["pageWidth"] <= f["viewportWidth"]'
  facts_hold "report at $size inside the screen" 'f["report"]["right"] <= f["viewportWidth"]'
  facts_hold "chart titles at $size" 'all(c["desc"] and c["title"].startswith(
    "<script>alert(1)</script> Zoë - Velmar: ") for c in f["charts"])'
done
took wide || fail "a wide report: $(cat "$work/err.txt")"
facts_hold "a wide report scrolls within its block at 390" \
  'f["report"]["scrollWidth"] > f["report"]["clientWidth"] and f["pageWidth"] <= f["viewportWidth"]'

# A day's chart stays readable on a phone (its labels drawn at 10.5 pixels
# or more), a month's fits a desktop's page.
for chart in "${charts[@]}"; do
  IFS='|' read -r name computer offset <<<"$chart"
  for size in 390x844 1280x800; do
    took "$name-$size" || fail "$name's charts at $size: $(cat "$work/err.txt")"
    facts_hold "$name's charts at $size inside the screen" \
      'all(c["left"] >= 0 and c["right"] <= f["viewportWidth"] for c in f["charts"])'
    facts_hold "$name's page at $size not wider than the screen" 'f["pageWidth"] <= f["viewportWidth"]'
    facts_hold "$name's charts at $size readable" 'all(14 * c["scale"] >= 10.5 for c in f["charts"])'
  done
done

took download || fail "download: $(cat "$work/err.txt")"
echo velmar-WEEK-2026-12-02-busy.json | cmp -s - "$work/out.txt" ||
  fail "download named $(cat "$work/out.txt")"
(unset TZ; LD_PRELOAD=$faketime_lib FAKETIME_FMT=%s FAKETIME=$now exec "$tool" busy \
  "$work/logs/WEEK/SysEvent.Evt" --since 2026-12-02 --until 2026-12-09 --format json) \
  >"$work/busy-log.json"
cmp -s "$work/busy.json" "$work/busy-log.json" || fail "the downloaded busy hours"

web_stop
finish "the browser shows the reports as expected"
