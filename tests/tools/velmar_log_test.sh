#!/usr/bin/env bash
# velmar-log end to end: dump(make(csv)) == csv for awkward CSV, circular logs
# made with --max-size/--start-offset checked byte by byte and read back,
# libevt-utils' evtexport reading the same numbers, times, ids and strings
# (or stopping where its documented limits say), usage and errors, the
# sample under a pinned clock, failures that leave nothing half-written,
# and the warning for a missing zone file.
source "${VELMAR_SOURCE_DIR:?}/tests/e2e/lib.sh"
V=$tool
export TMPDIR=$work/tmp  # nothing of a run may be left here
mkdir -p "$TMPDIR"
cd "$work" || exit 1
header='number,generated,written,event_id,type,category,source,computer,strings'

# same NAME EXPECTED ACTUAL: the two files are byte-identical.
same() {
  if ! cmp -s "$2" "$3"; then
    fail "$1"
    diff "$2" "$3" | head -n 10
  fi
}

# dword FILE OFFSET: the little-endian dword at OFFSET, as 8 hex digits.
dword() { od -An -tx4 -j "$(($2))" -N 4 "$1" | tr -d ' '; }

# rows N K: a CSV of N records numbered from 1, each with K strings "x",
# source "S" and computer "C", so that each record takes 0x44 + 4K bytes.
rows() {
  echo "$header"
  for i in $(seq 1 "$1"); do
    printf '%d,2026-12-08T04:00:%02dZ,2026-12-08T04:00:%02dZ,1073761873,4,0,S,C' "$i" "$i" "$i"
    for _ in $(seq 1 "$2"); do printf ',x'; done
    echo
  done
}

# pinned CMD...: CMD under the clock of the end-to-end tests, stopped at
# 2026-12-08T04:00:00Z. libfaketime is preloaded itself, as they do: the
# faketime wrapper's named semaphores collide with those that killed runs
# leave in /dev/shm.
pinned() { LD_PRELOAD=$faketime_lib FAKETIME_FMT=%s FAKETIME=$now TZ=UTC0 "$@"; }

# ---- round trip ----
big=$(head -c 100000 /dev/zero | tr '\0' 'y')
many=$(for _ in $(seq 1 3000); do printf ',s'; done)
{
  echo "$header"
  echo "1000,1970-01-01T00:00:00Z,1970-01-01T00:00:00Z,0,0,0,,"
  printf '1001,2026-12-08T04:00:00Z,2026-12-08T04:00:01Z,1073761873,4,0,RemoteAccess,RAS01,"a,b","say ""hi""","two\nlines","cr\r\nlf",,end,\n'
  echo '1002,2026-12-08T04:00:02Z,2026-12-08T04:00:02Z,3221245490,1,7,Überwachung,服务器,café,日本語,😀,"naïve, quoted"'
  echo '1003,2026-12-08T04:00:03Z,2026-12-08T04:00:03Z,2147489653,4,0,EventLog,RAS01'
  echo '1004,2026-12-08T04:00:04Z,2026-12-08T04:00:04Z,2147489653,4,0,EventLog,RAS01,'
  echo "1005,2026-12-08T04:00:05Z,2026-12-08T04:00:05Z,10,4,0,Print,RAS01,$big,\"$big,\""
  echo "1006,2106-02-07T06:28:15Z,2106-02-07T06:28:15Z,4294967295,65535,65535,Many,RAS01$many"
} > rt.csv
"$V" make rt.csv rt.evt || fail "make of the round-trip CSV"
"$V" dump rt.evt > rt.out || fail "dump of the round-trip log"
same "round trip: quoting, UTF-8, empty strings, no strings, large records" rt.csv rt.out
{ "$V" make - stdin.evt < rt.csv && cmp -s rt.evt stdin.evt; } || fail "make from standard input"
{ printf '\xEF\xBB\xBF'; cat rt.csv; } > bom.csv
{ "$V" make bom.csv bom.evt && cmp -s rt.evt bom.evt; } || fail "make skips a byte-order mark"
rows 0 0 > empty.csv
"$V" make empty.csv empty.evt && "$V" dump empty.evt > empty.out
same "round trip of an empty log" empty.csv empty.out

# ---- circular logs: byte layout, dump, and evtexport within its limits ----
rows 3 15 > r3.csv
rows 4 15 > r4.csv
rows 5 15 > r5.csv
# name | CSV | make options | survivors | dwords (offset=value) | rows evtexport lists
while IFS='|' read -r name csv opts keep dwords ext; do
  read -ra optv <<<"$opts"
  "$V" make "$csv" "$name.evt" "${optv[@]}" || { fail "$name: make"; continue; }
  [ "$(stat -c %s "$name.evt")" = "$(($(echo "$opts" | awk '{print $2}')))" ] || fail "$name: file size"
  for d in $dwords; do
    got=$(dword "$name.evt" "${d%=*}")
    [ "$got" = "${d#*=}" ] || fail "$name: dword at ${d%=*} is $got, not ${d#*=}"
  done
  { echo "$header"; sed -n "$keep" "$csv"; } > "$name.want"
  "$V" dump "$name.evt" > "$name.out" || fail "$name: dump"
  same "$name: dump reads the survivors" "$name.want" "$name.out"
  { echo "$header"; sed -n "$ext" "$csv"; } > "$name.ext.want"
done <<'EOF'
tail|r4.csv|--max-size 0x1D0|4,5p|0x1B0=00000027 0x1C0=00000027 0x1CC=00000027 0x30=00000080 0x38=00000004 0x10=00000130 0x14=000000b0|4p
split|r4.csv|--max-size 0x200|3,5p|0x1B0=00000080 0x1B8=00000004 0x5C=00000080 0x60=00000028 0x10=000000b0 0x14=00000060|3,5p
exact|r5.csv|--max-size 0x230|4,6p|0x1B0=00000080 0x22C=00000080 0x30=00000080 0x38=00000005 0x14=000000b0|4,5p
eof|r3.csv|--max-size 0x1C0|3,4p|0x1B0=00000028 0x1BC=33333333 0x30=44444444 0x3C=00000004 0x44=00000028|3,4p
start|r3.csv|--max-size 0x200 --start-offset 0x1C0|2,4p|0x1C0=00000080 0x6C=00000080 0x70=00000080 0x10=000001c0 0x14=00000170|2,4p
EOF

# ---- evtexport reads the same records ----
if ! command -v evtexport >/dev/null; then
  fail "evtexport is missing: install libevt-utils (apt-get install libevt-utils)"
else
  # evtexport's text as CSV rows in dump's form.
  to_csv() {
    LC_ALL=C.UTF-8 evtexport "$1" | awk -v header="$header" '
      BEGIN { split("Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec", m, " ")
              for (i = 1; i <= 12; i++) mon[m[i]] = sprintf("%02d", i); print header }
      function val() { return substr($0, index($0, "\t: ") + 3) }
      function iso(s, a) { split(s, a, /[ ,]+/); return a[3] "-" mon[a[1]] "-" a[2] "T" a[4] "Z" }
      function num(s) { sub(/.*\(/, "", s); sub(/\).*/, "", s); return s }
      function q(s) { if (s ~ /[",]/) { gsub(/"/, "\"\"", s); return "\"" s "\"" } return s }
      function flush() { if (row != "") print row; row = "" }
      /^Event number/ { flush(); n = val() }
      /^Creation time/ { gen = iso(val()) }
      /^Written time/ { wr = iso(val()) }
      /^Event type/ { typ = num(val()) }
      /^Computer name/ { comp = val() }
      /^Source name/ { src = val() }
      /^Event category/ { cat = val() }
      /^Event identifier/ { id = num(val()) }
      /^Number of strings/ { row = n "," gen "," wr "," id "," typ "," cat "," q(src) "," q(comp) }
      /^String: / { row = row "," q(val()) }
      END { flush() }'
  }
  # What evtexport can show unambiguously: no line ends in the text, no
  # characters beyond U+FFFF (it decodes surrogate pairs wrongly), no times
  # from 2038-01-19T03:14:08Z on (it takes them as signed).
  {
    echo "$header"
    echo '7,2026-12-08T04:00:00Z,2026-12-08T04:00:01Z,1073761873,4,0,RemoteAccess,RAS01,DIALUP,"o,brien",COM1'
    echo '8,2026-12-08T04:00:02Z,2026-12-08T04:00:02Z,3221245490,1,7,Überwachung,服务器,café,,"say ""hi""",'
    echo '9,2026-12-08T04:00:03Z,2026-12-08T04:00:03Z,0,0,65535,,'
    echo '10,2038-01-19T03:14:07Z,2038-01-19T03:14:07Z,4294967295,65535,0,EventLog,RAS01'
  } > cross.csv
  "$V" make cross.csv cross.evt || fail "make of the cross-check CSV"
  to_csv cross.evt > cross.ext
  same "evtexport reads what make wrote" cross.csv cross.ext
  pinned "$V" sample crossdir --days 14 --ports 8 --seed 3 ||
    fail "sample for the cross-check"
  "$V" dump crossdir/SysEvent.Evt > crossdir.out
  to_csv crossdir/SysEvent.Evt > crossdir.ext
  same "evtexport reads the sample as dump does" crossdir.out crossdir.ext
  # Wrapped logs: the same records where it copes, else it stops early
  # (at a 0x27 tail, after a record ending exactly at the end).
  for name in tail split exact eof start; do
    to_csv "$name.evt" > "$name.ext"
    same "$name: evtexport lists what its limits allow" "$name.ext.want" "$name.ext"
  done
fi

# ---- usage and errors ----
# status | arguments
while IFS='|' read -r want args; do
  read -ra argv <<<"$args"
  "$V" "${argv[@]}" > usage.out 2> usage.err
  got=$?
  [ "$got" = "$want" ] || fail "velmar-log $args: status $got, not $want"
  if [ "$want" = 2 ]; then grep -q '^Usage: velmar-log dump FILE' usage.err || fail "velmar-log $args: no usage text"; fi
  if [ "$want" = 1 ]; then [ -s usage.err ] || fail "velmar-log $args: no message"; fi
done <<'EOF'
2|
2|frob
2|dump
2|dump a b
2|make rt.csv
2|make rt.csv x.evt --max-size
2|make rt.csv x.evt --max-size ten
2|make rt.csv x.evt --max-size 0x80
2|make rt.csv x.evt --start-offset 64
2|make rt.csv x.evt --bogus 1
2|sample d --days 0
2|sample d --ports 2000
2|sample d --seed -1
0|--help
1|dump missing.evt
1|dump rt.csv
1|dump .
1|make missing.csv x.evt
1|make rt.csv x.evt --max-size 0x202
1|make rt.csv x.evt --max-size 0x200 --start-offset 0x200
1|make rt.csv x.evt --max-size 0x200
1|sample /proc/velmar
EOF
grep -q '^Usage: velmar-log dump FILE' <("$V" --help) || fail "--help prints the usage on stdout"
# Option limits: the largest value is taken (decimal and hex alike), one
# above it is refused with the option's message, never wrapped.
# status | arguments | a text of standard error
while IFS='|' read -r want args message; do
  read -ra argv <<<"$args"
  pinned "$V" "${argv[@]}" > limit.out 2> limit.err
  got=$?
  [ "$got" = "$want" ] || fail "velmar-log $args: status $got, not $want"
  if [ -n "$message" ]; then
    grep -q -- "$message" limit.err || fail "velmar-log $args: no '$message'"
  else
    [ ! -s limit.err ] || fail "velmar-log $args: $(head -n 1 limit.err)"
  fi
done <<'EOF'
0|sample seedmax --days 1 --ports 256 --seed 18446744073709551615|
0|sample seedhex --days 1 --ports 256 --seed 0xFFFFFFFFFFFFFFFF|
2|sample d --seed 18446744073709551616|--seed wants a number from 0 to 18446744073709551615
2|sample d --seed 0x10000000000000000|--seed wants a number from 0
2|sample d --seed=99999999999999999999|--seed wants a number from 0
2|sample d --days 3651|--days wants a number from 1 to 3650
2|sample d --ports 257|--ports wants a number from 1 to 256
2|sample d --nas 0|--nas wants a number from 1 to 64
2|sample d --nas 65|--nas wants a number from 1 to 64
2|sample d --format xml|--format wants evt, detail, nps, ias or nps-xml
2|sample d --format|--format wants evt, detail, nps, ias or nps-xml
2|sample d --format=|--format wants evt, detail, nps, ias or nps-xml
0|sample nasmax --days 1 --ports 1 --nas 64 --format nps|
0|make empty.csv sizemax.evt --max-size=4294967292|
2|make empty.csv x.evt --max-size 4294967296|--max-size wants a number from 144 to 4294967292
2|make empty.csv x.evt --max-size 0x100000000|--max-size wants a number
2|make empty.csv x.evt --max-size 18446744073709551616|--max-size wants a number
2|make empty.csv x.evt --max-size 0x200 --start-offset 0x100000000|--start-offset wants a number
EOF
cmp -s seedmax/SysEvent.Evt seedhex/SysEvent.Evt || fail "the largest seed in decimal and in hex differ"
[ "$(stat -c %s sizemax.evt)" = 4294967292 ] || fail "--max-size 4294967292: not that size"
rm -f sizemax.evt
{ [ ! -e d ] && [ ! -e x.evt ]; } || fail "a refused option left files behind"

# Every command's options come from one table: a name means what it means
# for the command given, and is refused by the commands that don't take
# it, in that command's manner (dump, make and sample show the usage, the
# answering commands say it in one line).
# arguments | message | usage shown (1) or not (0)
while IFS='|' read -r args message usage; do
  read -ra argv <<<"$args"
  "$V" "${argv[@]}" > table.out 2> table.err
  got=$?
  [ "$got" = 2 ] || fail "velmar-log $args: status $got, not 2"
  grep -qxF -- "$message" table.err || fail "velmar-log $args: no '$message' in: $(head -n 2 table.err)"
  shown=$(grep -c '^Usage: velmar-log dump FILE' table.err)
  [ "$shown" = "$usage" ] || fail "velmar-log $args: usage shown $shown times, not $usage"
done <<'EOF'
sample d --ports rp.txt|velmar-log: --ports wants a number from 1 to 256|1
busy rt.evt --ports 3|velmar-log: 3: No such file or directory|0
make rt.csv x.evt --format csv|velmar-log: unknown option --format|1
sample d --utc|velmar-log: unknown option --utc|1
dump rt.evt --force|velmar-log: unknown option --force|1
info rt.evt --force|velmar-log: unknown option --force|0
busy rt.evt --days=3|velmar-log: unknown option --days|0
sessions rt.evt --step day|velmar-log: not an option of this command (velmar-log --help shows the usage)|0
sample d --force=yes|velmar-log: --force takes no value|1
users rt.evt --utc=yes|velmar-log: --utc: bad value 'yes' (takes no value)|0
make rt.csv x.evt --start-offset|velmar-log: --start-offset wants a number from 48 to 4294967292|1
info rt.evt --since|velmar-log: --since: bad value '' (a value is missing)|0
capacity rt.evt --format svg|velmar-log: --format: bad value 'svg' (not a format of this command)|0
sample d --format ndjson|velmar-log: --format wants evt, detail, nps, ias or nps-xml|1
user rt.evt|velmar-log: unknown command "user"; did you mean "users"?|0
bsuy|velmar-log: unknown command "bsuy"; did you mean "busy"?|0
CAPACTY rt.evt|velmar-log: unknown command "CAPACTY"; did you mean "capacity"?|0
frob|velmar-log: unknown command "frob"|1
u|velmar-log: unknown command "u"|1
allbusy rt.evt --step day|velmar-log: unknown option --step|0
sessions rt.evt --top 3|velmar-log: unknown option --top|0
capacity rt.evt --user x|velmar-log: unknown option --user|0
info rt.evt --sort user|velmar-log: unknown option --sort|0
busy rt.evt --top 0|velmar-log: --top: bad value '0' (a number of rows from 1 to 1000000000)|0
users rt.evt --top 1000000001|velmar-log: --top: bad value '1000000001' (a number of rows from 1 to 1000000000)|0
busy rt.evt --format svg --top 3|velmar-log: --sort and --top order and cut rows, which --format svg does not write (velmar-log --help shows the usage)|0
busy rt.evt --sort start --format svg|velmar-log: --sort and --top order and cut rows, which --format svg does not write (velmar-log --help shows the usage)|0
info rt.evt --format sql|velmar-log: --format: bad value 'sql' (not a format of this command)|0
capacity rt.evt --format sql|velmar-log: --format: bad value 'sql' (not a format of this command)|0
users rt.evt --format ndjson|velmar-log: --format: bad value 'ndjson' (not a format of this command)|0
allbusy rt.evt --format svg|velmar-log: --format: bad value 'svg' (not a format of this command)|0
busy rt.evt --step year|velmar-log: --step: bad value 'year' (hour, day, week, month or weekhour)|0
EOF
# --version names the program and the build's version, on standard output.
version=$(sed -n 's/^project(velmar VERSION \([0-9.]*\) .*/\1/p' "$src/CMakeLists.txt")
[ "$("$V" --version 2>&1)" = "velmar-log $version" ] || fail "velmar-log --version: $("$V" --version 2>&1)"

# bad CSV | message: the file is refused and nothing is left behind
while IFS='|' read -r csv message; do
  printf '%b' "$csv" > bad.csv
  rm -f bad.evt
  if "$V" make bad.csv bad.evt 2> bad.err; then fail "make accepted: $csv"; fi
  grep -q -- "$message" bad.err || { fail "make of '$csv': wanted '$message'"; cat bad.err; }
  [ ! -e bad.evt ] || fail "make of '$csv' left a file behind"
done <<EOF
$header\n1,2026-12-08T04:00:00Z,2026-12-08T04:00:00Z,1,4,0,S,C\n3,2026-12-08T04:00:00Z,2026-12-08T04:00:00Z,1,4,0,S,C\n|line 3: record number does not follow
number,time\n|line 1: the first line must be the header row
$header\n1,2026-12-08T04:00:00,2026-12-08T04:00:00Z,1,4,0,S,C\n|line 2: bad time
$header\n1,2026-12-08T04:00:00Z,2026-12-08T04:00:00Z,4294967296,4,0,S,C\n|bad event_id
$header\n0,2026-12-08T04:00:00Z,2026-12-08T04:00:00Z,1,4,0,S,C\n|bad record number
$header\n1,2026-12-08T04:00:00Z,2026-12-08T04:00:00Z,1,4,0,S\n|fewer than 8 columns
$header\n1,2026-12-08T04:00:00Z,2026-12-08T04:00:00Z,1,4,0,S,"C\n|quoted field not closed
EOF
printf 'not an event log at all, just text that is long enough to fill a header....\n' > junk.evt
"$V" dump junk.evt > /dev/null 2>&1 && fail "dump accepted a file that is no event log"

# ---- sample under a pinned clock ----
pinned "$V" sample s1 || fail "sample with the defaults"
pinned "$V" sample s2 --days 7 --ports 8 --seed 1 || fail "sample with the defaults given"
cmp -s s1/SysEvent.Evt s2/SysEvent.Evt || fail "sample: same seed and clock, different log"
cmp -s s1/RasPorts.txt s2/RasPorts.txt || fail "sample: same seed and clock, different ports"
[ "$(tr '\n' ' ' < s1/RasPorts.txt)" = "COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 " ] ||
  fail "sample: default port list"
pinned "$V" sample s3 --days 3 --ports 3 --seed 9 || fail "sample with options"
"$V" dump s3/SysEvent.Evt > s3.csv || fail "dump of the sample"
awk -F, -v from="2026-12-05T04:00:00Z" -v to="2026-12-08T04:00:00Z" '
  NR > 1 && ($2 < from || $2 > to) { print "time outside the sample days: " $0; bad = 1 }
  NR > 1 && $4 % 65536 == 20017 && $11 !~ /^COM[123]$/ { print "port outside the list: " $0; bad = 1 }
  END { exit bad }' s3.csv || fail "sample: times and ports within the options"
{ "$V" make s3.csv s3.evt && "$V" dump s3.evt | cmp -s - s3.csv; } ||
  fail "sample: round trip through make"
# One server's sample keeps the bytes it always had: .evt files that the
# README, the tests and users' scripts were made from.
[ "$(cksum < s1/SysEvent.Evt)" = "3987718439 489188" ] || fail "sample: the .evt bytes changed"
pinned "$V" sample s4 --format evt --nas 1 || fail "sample --format evt"
cmp -s s1/SysEvent.Evt s4/SysEvent.Evt || fail "sample --format evt differs from sample"

# A pool: one folder per server, each its own computer name; the first
# server's traffic is not the single server's (the users are shared).
pinned "$V" sample pool --nas 3 --days 2 --ports 4 || fail "sample --nas 3"
for k in 1 2 3; do
  "$V" dump pool/RAS0$k/SysEvent.Evt > pool$k.csv || fail "dump of pool/RAS0$k"
  awk -F, -v k="RAS0$k" 'NR > 1 && $8 != k { bad = 1 } END { exit bad }' pool$k.csv ||
    fail "pool/RAS0$k: records of another computer"
  [ "$(cat pool/RAS0$k/RasPorts.txt | tr '\n' ' ')" = "COM1 COM2 COM3 COM4 " ] ||
    fail "pool/RAS0$k: port list"
done
[ ! -e pool/SysEvent.Evt ] || fail "sample --nas 3 wrote a log of no server"

# Accounting formats: the log and its NAS PORTCOUNT list, the same bytes
# for the same options, and every format's file named after it.
pinned "$V" sample a1 --format detail --nas 2 --days 2 --ports 3 || fail "sample --format detail"
pinned "$V" sample a2 --format=detail --nas=2 --days 2 --ports 3 || fail "sample --format=detail"
cmp -s a1/detail a2/detail || fail "sample --format detail: same options, different bytes"
[ "$(cat a1/NasPorts.txt)" = "$(printf '192.0.2.1 3\n192.0.2.2 3')" ] ||
  fail "sample --format detail: NasPorts.txt"
[ "$(head -n 1 a1/detail)" = "Sun Dec  6 04:00:00 2026" ] || fail "detail: first header"
for f in nps:nps.log ias:ias.log nps-xml:nps-xml.log; do
  pinned "$V" sample "a-${f%%:*}" --format "${f%%:*}" --nas 2 --days 2 --ports 3 ||
    fail "sample --format ${f%%:*}"
  { [ -s "a-${f%%:*}/${f#*:}" ] && [ -s "a-${f%%:*}/NasPorts.txt" ]; } ||
    fail "sample --format ${f%%:*}: no ${f#*:}"
  [ "$(find "a-${f%%:*}" -mindepth 1 -maxdepth 1 | wc -l)" = 2 ] || fail "sample --format ${f%%:*}: other files"
done

# ---- files that exist: replaced only with --force ----
# Each case starts from a folder ex holding the planted files ("old NAME" in
# each; @NAME is a link to a missing file). A refused run names each planted
# file and leaves the folder as it was, a forced one writes what a run into
# an empty folder writes (NAME=reference).
# status | planted | arguments | written
snap() {
  (cd ex && shopt -s dotglob nullglob && for f in *; do
    printf '%s:%s;' "$f" "$(readlink "$f" || cat "$f")"
  done)
}
while IFS='|' read -r want planted args written; do
  rm -rf ex gone && mkdir ex
  for f in $planted; do
    if [ "${f#@}" != "$f" ]; then ln -s ../gone "ex/${f#@}"; else echo "old $f" > "ex/$f"; fi
  done
  before=$(snap)
  read -ra argv <<<"$args"
  pinned "$V" "${argv[@]}" < rt.csv > ex.out 2> ex.err
  got=$?
  [ "$got" = "$want" ] || fail "velmar-log $args over $planted: status $got, not $want"
  if [ "$want" != 0 ]; then
    { [ "$(snap)" = "$before" ] && [ ! -e gone ]; } || fail "velmar-log $args: $planted changed"
  fi
  for f in $planted; do
    [ "$want" != 1 ] || grep -qF "ex/${f#@} exists" ex.err || fail "velmar-log $args: ${f#@} not named"
  done
  for pair in $written; do
    cmp -s "ex/${pair%=*}" "${pair#*=}" || fail "velmar-log $args: ${pair%=*} is not ${pair#*=}"
  done
done <<'EOF'
1|RasPorts.txt SysEvent.Evt|sample ex|
1|RasPorts.txt|sample ex --days 1|
1|SysEvent.Evt|sample ex|
1|@RasPorts.txt|sample ex|
1|SysEvent.Evt|make rt.csv ex/SysEvent.Evt|
1|SysEvent.Evt|make - ex/SysEvent.Evt|
1|@SysEvent.Evt|make rt.csv ex/SysEvent.Evt --max-size 0x400000|
2|SysEvent.Evt|make rt.csv ex/SysEvent.Evt --force=1|
0|RasPorts.txt SysEvent.Evt|sample ex --force|SysEvent.Evt=s1/SysEvent.Evt RasPorts.txt=s1/RasPorts.txt
0|RasPorts.txt|sample --force ex|SysEvent.Evt=s1/SysEvent.Evt RasPorts.txt=s1/RasPorts.txt
0|SysEvent.Evt|make --force rt.csv ex/SysEvent.Evt|SysEvent.Evt=rt.evt
0|SysEvent.Evt|make - ex/SysEvent.Evt --force|SysEvent.Evt=rt.evt
0|SysEvent.Evt|make rt.csv --force ex/SysEvent.Evt --max-size 0x400000|
1|detail NasPorts.txt|sample ex --format detail --nas 2 --days 2 --ports 3|
1|NasPorts.txt|sample ex --format detail --nas 2 --days 2 --ports 3|
1|nps.log|sample ex --format nps|
0|detail NasPorts.txt|sample ex --format detail --nas 2 --days 2 --ports 3 --force|detail=a1/detail NasPorts.txt=a1/NasPorts.txt
EOF

# ---- failures say why and leave nothing half-written ----
# Each case starts from a folder lim holding the planted files ("old NAME"
# in each; - for no folder at all) and runs under a file size limit in KiB
# (- for none) with SIGXFSZ at its default action, as a shell leaves it.
# The run says why, exits with 1, and leaves lim as it was: no cut file,
# no temporary one, the old bytes kept, the folder gone when it made it.
"$V" dump s1/SysEvent.Evt > s1.csv
{ head -n 2000 s1.csv; echo '1,2026-12-08T04:00:00Z,2026-12-08T04:00:00Z,1,4,0,S,C'; } > halfbad.csv
lsnap() {
  [ -d lim ] && (cd lim && shopt -s dotglob nullglob && for f in *; do
    printf '%s:%s;' "$f" "$(cksum < "$f")"
  done)
}
# limit | planted | arguments | message
while IFS='|' read -r limit planted args message; do
  rm -rf lim
  if [ "$planted" != - ]; then
    mkdir lim
    for f in $planted; do echo "old $f" > "lim/$f"; done
  fi
  before=$(lsnap)
  [ "$limit" = - ] && limit=unlimited
  read -ra argv <<<"$args"
  bash -c 'ulimit -f "$0"; exec "$@"' "$limit" "$V" "${argv[@]}" > lim.out 2> lim.err
  got=$?
  [ "$got" = 1 ] || fail "velmar-log $args (limit $limit): status $got, not 1"
  grep -qF -- "$message" lim.err || fail "velmar-log $args (limit $limit): no '$message'"
  [ "$(lsnap)" = "$before" ] || fail "velmar-log $args (limit $limit): left $(ls -A lim)"
done <<'EOF'
100|-|sample lim --days 30|velmar-log: can't write the log file lim/SysEvent.Evt: File too large
100||sample lim --days 30|velmar-log: can't write the log file lim/SysEvent.Evt: File too large
100|RasPorts.txt SysEvent.Evt|sample lim --days 30 --force|lim/SysEvent.Evt: File too large
100|-|sample lim --days 30 --nas 2|SysEvent.Evt: File too large
100|-|sample lim --days 30 --format detail|velmar-log: can't write the log file lim/detail: File too large
100|detail NasPorts.txt|sample lim --days 30 --format detail --force|lim/detail: File too large
100||make s1.csv lim/SysEvent.Evt|velmar-log: lim/SysEvent.Evt: can't write the log file: File too large
100|SysEvent.Evt|make s1.csv lim/SysEvent.Evt --force|lim/SysEvent.Evt: can't write the log file: File too large
100||make empty.csv lim/SysEvent.Evt --max-size 0x200000|lim/SysEvent.Evt: can't create the log file: File too large
100||dump s1/SysEvent.Evt|velmar-log: can't write the CSV: File too large
-|SysEvent.Evt|make halfbad.csv lim/SysEvent.Evt --force|halfbad.csv line 2001: record number does not follow
EOF

# ---- a signal while the log is written leaves nothing of it ----
# sample and make write under a temporary name, with --force or without: a
# signal that ends the run (given at its default action, as a terminal or
# a service manager gives it) removes that file, so the folder is as it was
# and the next run is not refused. Each run has a time limit of its own.
mkfifo rows.fifo
# command | --force or - | signal
while IFS='|' read -r command force signal; do
  rm -rf sg && mkdir sg
  [ "$force" = - ] && force=
  [ -n "$force" ] && { echo "old SysEvent.Evt" > sg/SysEvent.Evt; echo "old RasPorts.txt" > sg/RasPorts.txt; }
  before=$(find sg -mindepth 1 -maxdepth 1 -printf '%f\n' | sort | tr '\n' ' ')
  if [ "$command" = sample ]; then
    timeout 120 env --default-signal="$signal" "$V" sample sg --days 365 --ports 64 ${force:+"$force"} 2> sg.err &
    pid=$!
  else
    timeout 120 env --default-signal="$signal" "$V" make - sg/SysEvent.Evt ${force:+"$force"} < rows.fifo 2> sg.err &
    pid=$!
    exec 3> rows.fifo
    cat rt.csv >&3  # the records, then make waits for more
  fi
  for _ in $(seq 1 1000); do
    [ -n "$(find sg -name 'SysEvent.Evt.*.tmp' -size +0 2>/dev/null)" ] && break
    sleep 0.01
  done
  [ -n "$(find sg -name 'SysEvent.Evt.*.tmp')" ] || fail "$command $force: no temporary log seen"
  kill -"$signal" "$(pgrep -P "$pid")"
  wait "$pid"
  got=$?
  [ "$command" = make ] && exec 3>&-
  { [ "$got" -gt 128 ] && [ "$got" != 124 ]; } || fail "$command $force: SIG$signal: status $got"
  after=$(find sg -mindepth 1 -maxdepth 1 -printf '%f\n' | sort | tr '\n' ' ')
  [ "$after" = "$before" ] || fail "$command $force: SIG$signal left '$after', not '$before'"
  if [ -n "$force" ]; then
    [ "$(cat sg/SysEvent.Evt)" = "old SysEvent.Evt" ] || fail "$command $force: SIG$signal changed the old log"
  else
    pinned "$V" sample sg --days 1 > /dev/null 2>&1 || fail "$command: the next run after SIG$signal is refused"
  fi
done <<'EOF'
sample|-|TERM
sample|--force|INT
sample|-|HUP
make|-|TERM
make|--force|ALRM
make|-|USR1
EOF
rm -f rows.fifo
# A pool's sample holds a temporary log and port list for every server at
# once: a signal removes all of them.
rm -rf sg
timeout 120 env --default-signal=TERM "$V" sample sg --nas 6 --days 365 --ports 64 2> sg.err &
pid=$!
for _ in $(seq 1 1000); do
  [ -n "$(find sg -name 'SysEvent.Evt.*.tmp' -size +0 2>/dev/null)" ] && break
  sleep 0.01
done
kill -TERM "$(pgrep -P "$pid")"
wait "$pid"
got=$?
{ [ "$got" -gt 128 ] && [ "$got" != 124 ]; } || fail "sample --nas 6: SIGTERM: status $got"
[ -z "$(find sg -type f)" ] || fail "sample --nas 6: SIGTERM left $(find sg -type f | tr '\n' ' ')"

# A zone named by a file that does not exist is said once, as the report
# says it; a zone that exists, a POSIX rule, --utc and dump say nothing.
# TZ | arguments | warned (1) or not (0)
while IFS='|' read -r tz args warned; do
  rm -rf tzs
  read -ra argv <<<"$args"
  TZ=$tz "$V" "${argv[@]}" > tz.out 2> tz.err || fail "TZ=$tz velmar-log $args: status $?"
  want=""
  [ "$warned" = 1 ] && want="velmar-log: TZ=$tz: no such zone file; the C library takes it as UTC"
  [ "$(cat tz.err)" = "$want" ] || fail "TZ=$tz velmar-log $args: stderr '$(cat tz.err)'"
done <<'EOF'
Asia/Nowhere|users s1/SysEvent.Evt|1
:Asia/Nowhere|busy s1/SysEvent.Evt --step day|1
Asia/Nowhere|sample tzs --days 1|1
Asia/Nowhere|users s1/SysEvent.Evt --utc|0
Asia/Nowhere|dump s1/SysEvent.Evt|0
Asia/Singapore|sessions s1/SysEvent.Evt|0
SGT-8|info s1/SysEvent.Evt|0
EOF

# A reader that stops early (a closed pipe) leaves no file behind: dump
# reads the log where it lies.
"$V" dump crossdir/SysEvent.Evt | head -n 1 > /dev/null
[ -z "$(ls -A "$TMPDIR")" ] || fail "dump left files behind: $(ls "$TMPDIR")"

finish "velmar-log: all checks passed"
