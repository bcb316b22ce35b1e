#!/usr/bin/env bash
# The Windows programs under Wine: velmar.exe, velmar-log.exe, the index's
# unit tests and the test RASSAPI.dll as scripts/build-windows --tests puts
# them in the Windows build folder (the windows_build test does so before
# this one), run in a private Wine prefix under the build folder. Covers the
# usage text, CGI pages, the report against Wine's own event log and through
# VELMAR_LOGDIR, the port enumeration through the test RASSAPI.dll, the log
# tool's files, and the index's unit tests built for Windows.
#
# Wine's event log is a set of stubs: OpenEventLogA of the local computer and
# OpenBackupEventLogA of an existing file give a handle to a log with no
# records (oldest 0, count 0), ReadEventLogA always fails with
# ERROR_HANDLE_EOF, a named computer is out of reach (RPC_S_SERVER_UNAVAILABLE)
# and a missing file is ERROR_FILE_NOT_FOUND. So every report here ends in
# "Can't Read Rec" or "Can't Open Log", and which of the two it is shows
# which log was opened. Nothing written after the window is found (the
# tabulated header, the listing, the statistics) can be reached under Wine.
source "${VELMAR_SOURCE_DIR:?}/tests/e2e/lib.sh"

winbuild=${VELMAR_WINDOWS_BUILD_DIR:-$build/windows}
prefix=${VELMAR_WINEPREFIX:-$build/wine-prefix}
wexpected=$src/tests/windows/expected
command -v wine >/dev/null || { echo "wine not installed (packages wine wine64)"; exit 1; }
for f in velmar.exe velmar-log.exe index_test_win.exe test-rassapi/RASSAPI.dll; do
  [ -f "$winbuild/$f" ] ||
    { echo "FAIL: no $winbuild/$f: run scripts/build-windows --tests $winbuild"; exit 1; }
done
export WINEDEBUG=-all WINEPREFIX=$prefix
# RASSAPI is never taken from Wine itself, should it ever bring one.
export WINEDLLOVERRIDES="rassapi=n"
trap 'wineserver -k 2>/dev/null; rm -rf "$work"' EXIT

clock() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(clock)" 'BEGIN { printf "%.1fs", b - a }'; }

if [ ! -f "$prefix/system.reg" ]; then
  t=$(clock)
  # No .NET or HTML engine is wanted: leave their installers out.
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 || { echo "FAIL: wineboot -i"; exit 1; }
  echo "wine prefix made: $(since "$t")"
fi
t=$(clock)

velmar_exe=$winbuild/velmar.exe
tool_exe=$winbuild/velmar-log.exe
# Runs start in an empty folder, so no RASSAPI.dll is found there.
mkdir -p "$work/cwd"

# winpath PATH: the Windows form of an absolute path (Wine's Z: is /).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# wrun EXE [VAR=VALUE...] -- ARGS...: runs EXE under Wine with TZ, the log
# folder and the CGI variables unset unless given, and this shell's standard
# input. Output to $work/out.txt, messages to $work/err.txt; the exit status
# is the program's.
wrun() {
  local exe=$1
  shift
  local envs=()
  while [ "$1" != -- ]; do envs+=("$1"); shift; done
  shift
  (
    unset TZ VELMAR_LOGDIR REQUEST_METHOD QUERY_STRING CONTENT_LENGTH
    for e in "${envs[@]+"${envs[@]}"}"; do export "${e?}"; done
    cd "$work/cwd" && exec wine "$exe" "$@"
  ) >"$work/out.txt" 2>"$work/err.txt"
  local status=$?
  # Standard error stays a text stream on Windows: its lines end in CR LF.
  sed -i 's/\r$//' "$work/err.txt"
  return "$status"
}

# wcheck LABEL EXPECTED_FILE STATUS EXE [VAR=VALUE...] -- ARGS...: one run
# under Wine, its whole output compared with the file.
wcheck() {
  local label=$1 file=$2 want=$3
  shift 3
  wrun "$@"
  expect_run "$label" "$file" "$want" $?
}

# --- The usage text, byte for byte as on Linux (no CR before a line end),
# with the program name as Wine hands it over: the full Windows path. ---
usage=$(<"$expected/usage.txt")
printf '%s\n' "${usage/"or run: velmar "/"or run: $(winpath "$velmar_exe") "}" >"$work/usage.txt"
wcheck "usage" "$work/usage.txt" 1 "$velmar_exe" --

# --- Wine's own event log: no records, so the window's search fails. ---
wcheck "live log" "$expected/empty-log.txt" 2 "$velmar_exe" -- 0
# A computer out of reach: the system's own error, and the log named.
unreachable='velmar: SYSTEM log of \\SRV1: error 1722'
want_err=$unreachable wcheck "live log, named computer" "$expected/cant-open.txt" 2 "$velmar_exe" \
  -- 0 '\\SRV1'

# --- CGI pages. A GET query; a POST body holding CR LF and Ctrl-Z, which
# reaches the form whole only because standard input is read as bytes. ---
wcheck "CGI GET" "$wexpected/cgi-get.html" 2 "$velmar_exe" REQUEST_METHOD=GET \
  'QUERY_STRING=title1=Pool%20%231&title2=Dial%20%26%20Line&offset=-1' --
body=$'title1=A\r\n\x1aB&offset=0'
printf 'Content-type: text/html; charset=utf-8\n\n<h3>A\r\n\x1aB - Velmar</h3>\n<p><pre>\nError: Can'"'"'t Read Rec\n' \
  >"$work/cgi-post.html"
printf '%s' "$body" | wrun "$velmar_exe" REQUEST_METHOD=POST "CONTENT_LENGTH=${#body}" --
expect_run "CGI POST with CR LF and Ctrl-Z" "$work/cgi-post.html" 2 $?

# --- A saved log through VELMAR_LOGDIR, made by the Linux velmar-log. Wine
# opens an existing file as an empty log; a missing one fails to open,
# which the live log (above) does not: so the file was the one asked for. ---
worked_rows | mklog "$work/logs"
mkdir -p "$work/logs/SRV1" "$work/nolog"
cp "$work/logs/SysEvent.Evt" "$work/logs/SRV1/SysEvent.Evt"
cp "$work/logs/SysEvent.Evt" "$work/SysEvent.Evt"  # one folder above the log folder
logs=$(winpath "$work/logs")
wcheck "saved log" "$expected/empty-log.txt" 2 "$velmar_exe" "VELMAR_LOGDIR=$logs" -- 0
wcheck "saved log, folder written with /" "$expected/empty-log.txt" 2 "$velmar_exe" \
  "VELMAR_LOGDIR=$work/logs" -- 0
missing="No such file or directory"
want_err="velmar: $(winpath "$work/nolog/SysEvent.Evt"): $missing" \
  wcheck "no saved log" "$expected/cant-open.txt" 2 "$velmar_exe" \
  "VELMAR_LOGDIR=$(winpath "$work/nolog")" -- 0
wcheck "saved log of a named computer" "$expected/empty-log.txt" 2 "$velmar_exe" \
  "VELMAR_LOGDIR=$logs" -- 0 '\\SRV1'
wcheck "saved log of a named computer, CGI" "$wexpected/cgi-empty-log.html" 2 "$velmar_exe" \
  "VELMAR_LOGDIR=$logs" REQUEST_METHOD=GET 'QUERY_STRING=computername=SRV1' --
want_err="velmar: $(winpath "$work/logs/SRV2/SysEvent.Evt"): $missing" \
  wcheck "no saved log of a named computer" "$expected/cant-open.txt" 2 "$velmar_exe" \
  "VELMAR_LOGDIR=$logs" -- 0 '\\SRV2'
# The host-name check keeps a name from leaving the log folder.
want_err='velmar: \\..: not a valid computer name' \
  wcheck "refused computer name" "$expected/cant-open.txt" 2 "$velmar_exe" \
  "VELMAR_LOGDIR=$logs" -- 0 '\\..'

# --- The port enumeration through the test RASSAPI.dll beside a copy of
# velmar.exe: bound by ordinal, the server name handed over in UTF-16 with
# its backslashes, every array given back. The table's header, where the
# ports show in reverse order, is written only after the window is found,
# which Wine's empty log never allows. ---
mkdir -p "$work/ras"
cp "$velmar_exe" "$work/ras/velmar.exe"
cp "$winbuild/test-rassapi/RASSAPI.dll" "$work/ras/RASSAPI.dll"
ras_exe=$work/ras/velmar.exe
trace=$work/trace.txt
RASSAPI_TRACE=$(winpath "$trace")
export RASSAPI_TRACE
wcheck "ports listed" "$expected/empty-log.txt" 2 "$ras_exe" -- 0 +t
want_err=$unreachable wcheck "ports of a named computer" "$expected/cant-open.txt" 2 "$ras_exe" \
  -- 0 '\\SRV1' +p
wcheck "no ports" "$expected/ports-none.txt" 2 "$ras_exe" -- 0 '\\EMPTY' +t
want_err='velmar: RAS ports of \\DOWN: error 1722' \
  wcheck "enumeration fails" "$expected/ports-cant-read.txt" 2 "$ras_exe" -- 0 '\\DOWN' +t
want_err='velmar: RAS ports of \\DOWN: error 1722' \
  wcheck "enumeration fails, CGI" "$expected/cgi-ports-fail.html" 2 "$ras_exe" \
  REQUEST_METHOD=GET 'QUERY_STRING=table=1&computername=%5C%5CDOWN' --
# What the library writes lands inside the page's comment.
want_err='velmar: SYSTEM log of \\NOISY: error 1722' \
  wcheck "library writing to the page" "$wexpected/cgi-ports-noisy.html" 2 "$ras_exe" \
  REQUEST_METHOD=GET 'QUERY_STRING=port=1&computername=%5C%5CNOISY' --
want_err='velmar: RAS ports of this computer: library not found' \
  wcheck "no RASSAPI.dll" "$expected/ports-cant-read.txt" 2 "$velmar_exe" -- 0 +t
unset RASSAPI_TRACE
# Each array is released once, and it is the one the enumeration gave.
awk '
  $1 == "enum" && $NF != "failed" { want = $NF; sub(/ [^ ]*$/, " P"); print; next }
  $1 == "free" { print ($2 == want ? "free P" : "free of another array " $2); want = ""; next }
  { print }
' "$trace" >"$work/trace-seen.txt"
printf '%s\n' 'enum (local) 3 P' 'free P' 'enum \\SRV1 3 P' 'free P' 'enum \\EMPTY 0 P' 'free P' \
  'enum \\DOWN failed' 'enum \\DOWN failed' 'enum \\NOISY 3 P' 'free P' >"$work/trace-want.txt"
diff -u "$work/trace-want.txt" "$work/trace-seen.txt" || fail "calls of the port library"

# --- velmar-log.exe: make writes the same bytes as on Linux (also a
# wrapping circular log and UTF-8 texts), sample a log the Linux tool
# reads, dump reads a saved log through Wine's empty stub. ---
{
  echo "number,generated,written,event_id,type,category,source,computer,strings"
  worked_rows
  rec 9 2026-12-08T03:30:00Z 20017 DIALUP "Zo$(printf '\xc3\xab')" "P$(printf '\xe2\x82\xac')1"
} >"$work/make.csv"
make_csv=$(winpath "$work/make.csv")
for opts in "" "--max-size 600 --start-offset 400"; do
  read -ra optv <<<"$opts"
  "$tool" make "$work/make.csv" "$work/linux.evt" "${optv[@]}" --force || fail "velmar-log make $opts"
  wrun "$tool_exe" -- make "$make_csv" "$(winpath "$work/windows.evt")" "${optv[@]}" --force
  status=$?
  [ "$status" = 0 ] || { fail "velmar-log.exe make $opts: status $status"; cat "$work/err.txt"; }
  cmp "$work/linux.evt" "$work/windows.evt" || fail "velmar-log.exe make $opts: not the Linux bytes"
done
wrun "$tool_exe" -- sample "$(winpath "$work/sample")" --days 2 --ports 3 --seed 5
status=$?
[ "$status" = 0 ] || { fail "velmar-log.exe sample: status $status"; cat "$work/err.txt"; }
printf 'COM1\nCOM2\nCOM3\n' | cmp - "$work/sample/RasPorts.txt" || fail "sample port list"
"$tool" dump "$work/sample/SysEvent.Evt" >"$work/sample.csv" || fail "sample log: not read on Linux"
rows=$(wc -l <"$work/sample.csv")
[ "$rows" -gt 10 ] || fail "sample log: $rows rows read on Linux"
cp "$work/sample/SysEvent.Evt" "$work/sample-kept.evt"
wrun "$tool_exe" -- sample "$(winpath "$work/sample")" --days 1 --seed 6
status=$?
{ [ "$status" = 1 ] && cmp -s "$work/sample-kept.evt" "$work/sample/SysEvent.Evt"; } ||
  fail "velmar-log.exe sample over its files without --force: status $status"
"$tool" dump "$work/logs/SysEvent.Evt" >"$work/dump-linux.csv"
wrun "$tool_exe" -- dump "$(winpath "$work/logs/SysEvent.Evt")"
status=$?
if [ "$status" = 0 ] && [ "$(cat "$work/out.txt")" = "$(head -n 1 "$work/dump-linux.csv")" ]; then
  echo "velmar-log.exe dump: the header row alone (Wine's saved logs hold no records)"
else
  expect_run "velmar-log.exe dump" "$work/dump-linux.csv" 0 "$status"
fi
wrun "$tool_exe" -- dump "$(winpath "$work/nolog/SysEvent.Evt")"
status=$?
if [ "$status" != 1 ] || ! grep -q "can't open" "$work/err.txt"; then
  fail "dump of a missing file: status $status"
fi
# The answers: the saved log opens (however many records Wine serves), its
# header's state is unknown on Windows, and a named port list is read.
wrun "$tool_exe" -- info "$(winpath "$work/logs/SysEvent.Evt")" --format csv
status=$?
{ [ "$status" = 0 ] && tail -n 1 "$work/out.txt" | awk -F, 'NF != 19 || $8 != "" || $9 != "" { exit 1 }'; } ||
  fail "velmar-log.exe info: status $status: $(cat "$work/out.txt" "$work/err.txt")"
wrun "$tool_exe" -- busy "$(winpath "$work/logs/SysEvent.Evt")" --format json --utc \
  --ports "$(winpath "$work/sample/RasPorts.txt")"
status=$?
{ [ "$status" = 0 ] && [ "$(jq -r '"\(.lines) \(.lines_from)"' "$work/out.txt")" = "3 --ports" ]; } ||
  fail "velmar-log.exe busy: status $status: $(cat "$work/out.txt" "$work/err.txt")"
wrun "$tool_exe" -- sessions "$(winpath "$work/nolog/SysEvent.Evt")"
status=$?
{ [ "$status" = 2 ] && grep -q "SysEvent.Evt: " "$work/err.txt"; } ||
  fail "velmar-log.exe sessions of a missing log: status $status"

echo "runs under wine: $(since "$t")"

# --- The index on Windows: its plain C runtime stream and its temporary
# file. The two longest model runs are left out: under Wine every flush and
# seek of the stream is a slow call, and the shorter runs check the same. ---
t=$(clock)
(cd "$work/cwd" && exec wine "$winbuild/index_test_win.exe" \
  --gtest_filter=-DbiModel.ShortRunsCheckedAfterEveryOperation:DbiModel.LongRunCheckedEveryFewHundred) \
  >"$work/unit.txt" 2>&1 || { cat "$work/unit.txt"; fail "index tests on Windows"; }
grep -E '^\[  PASSED  \]' "$work/unit.txt"
rm -rf "$prefix"/drive_c/users/*/Temp/velmar-index-*
echo "index tests under wine: $(since "$t")"
finish "the Windows programs behave under Wine"
