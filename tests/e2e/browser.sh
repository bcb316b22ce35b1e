#!/usr/bin/env bash
# End-to-end in a real browser: Chromium loads the form from a private
# lighttpd, a person's entries are typed in and submitted, and the report as
# the browser renders it must equal a text written by hand: markup in titles
# and log names shows as text. Screenshots of the form and of each report
# go to $VELMAR_BUILD_DIR/web-shots/.
source "${VELMAR_SOURCE_DIR:?}/tests/e2e/lib.sh"
source "$src/tests/web/lighttpd.sh"
[ -d "$src/tests/web/node_modules/playwright-core" ] ||
  { echo "FAIL: playwright-core missing: run scripts/install-deps"; exit 1; }
shots=$build/web-shots

# submit NAME FIELDS: fills the form with the JSON FIELDS, submits it and
# compares the rendered heading and report with expected/NAME.txt.
submit() {
  local name=$1 fields=$2
  node "$src/tests/web/browser.mjs" --url "$WEB_URL" --fields "$fields" --timeout 60000 \
    --form-shot "$shots/$name-form.png" --report-shot "$shots/$name-report.png" \
    >"$work/out.txt" 2>"$work/err.txt"
  expect_run "$name ($fields)" "$expected/$name.txt" 0 $?
}

worked_rows | mklog "$work/logs"
{
  rec 1 2026-12-08T01:00:00Z 20017 DIALUP '<i>eve</i>&co' 'COM<1>'
  rec 2 2026-12-08T02:00:00Z 20050 DIALUP '<i>eve</i>&co' 'COM<1>'
} | mklog "$work/logs/ESC"
server_env=(LD_PRELOAD="$faketime_lib" FAKETIME_FMT=%s FAKETIME="$now" ASAN_OPTIONS="$ASAN_OPTIONS")
[ -n "${UBSAN_OPTIONS:-}" ] && server_env+=(UBSAN_OPTIONS="$UBSAN_OPTIONS")
web_start "$velmar" "$work/logs" '' "${server_env[@]}" || { echo "FAIL: lighttpd did not start"; exit 1; }
mkdir -p "$shots"

submit browser-titles '{"title1":"Pool <b>&","gstat":false}'
submit browser-escape '{"computername":"\\\\ESC","title1":"<script>alert(\"x\")</script>",
  "width":20,"tz":"EST5EDT,M3.2.0/2"}'

web_stop
finish "the browser shows the reports as expected"
