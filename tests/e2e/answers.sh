#!/usr/bin/env bash
# velmar-log's answers end to end on real logs: the time at exactly k lines
# and the line-seconds against the report's General Statistics (a generated
# month, the worked day), a session across midnight that only the answers
# count, coverage, two servers, the filters, --sort and --top, the
# intervals with every line busy, words for times, weeks and months, every
# CSV through Python's csv and sqlite3, every SQL script through sqlite3
# and queries on it, every JSON through json.tool and jq, the charts
# through an XML parser and Chromium (screenshots in
# $VELMAR_BUILD_DIR/answer-shots/), and the failures: a message naming the
# log and status 2, never a partial table with status 0.
source "${VELMAR_SOURCE_DIR:?}/tests/e2e/lib.sh"
shots=$build/answer-shots
mkdir -p "$shots"

# answer ARGS...: velmar-log with TZ unset (so the zone is SGT-8); output in
# $work/a.out, messages in $work/a.err, the status as its own (124 when it
# does not end within two minutes).
answer() { (unset TZ; exec timeout 120 "$tool" "$@") >"$work/a.out" 2>"$work/a.err"; }

# answer_ok LABEL ARGS...: an answer that must succeed without messages.
answer_ok() {
  local label=$1
  shift
  answer "$@" || fail "$label: status $?: $(cat "$work/a.err")"
  [ ! -s "$work/a.err" ] || fail "$label: wrote to stderr: $(cat "$work/a.err")"
}

# jq_is LABEL FILTER WANT: the last answer (JSON) gives WANT through FILTER.
jq_is() {
  local got
  got=$(jq -r "$2" "$work/a.out" | tr '\n' ' ' | sed 's/ $//')
  [ "$got" = "$3" ] || fail "$1: $2 is '$got', not '$3'"
}

# report_levels FILE: the General Statistics rows as "k seconds" lines,
# those with time only.
report_levels() {
  awk '/^ *[0-9]+ Lines = / {
    t = $0; sub(/.*= */, "", t); sub(/ *\(.*/, "", t); gsub(/ /, "", t); split(t, p, ":")
    s = p[1] * 3600 + p[2] * 60 + p[3]; if (s > 0) print $1, s }' "$1"
}

# busy_levels: the last answer's (JSON) time at exactly k lines, likewise.
busy_levels() { jq -r '.time_at_lines[] | select(.seconds > 0) | "\(.lines) \(.seconds)"' "$work/a.out"; }

# on COMPUTER NUMBER TIME EVENT_ID STRINGS...: rec for another computer.
on() {
  local computer=$1
  shift
  rec "$@" | sed "s/,RemoteAccess,RAS1/,RemoteAccess,$computer/"
}

# ---- The report's General Statistics, on a month of three lines ----
LD_PRELOAD=$faketime_lib FAKETIME_FMT=%s FAKETIME=$now TZ=SGT-8 \
  "$tool" sample "$work/month" --days 30 --ports 3 --seed 5 >/dev/null || fail "sample"
log=$work/month/SysEvent.Evt
answer_ok "sessions of the month" sessions "$log" --format csv --utc
cp "$work/a.out" "$work/sessions.csv"
# Days back (3 to 28) whose local midnight no session spans.
free=$(python3 - "$work/sessions.csv" <<'EOF'
import csv, datetime, sys
spans = [(datetime.datetime.fromisoformat(r["start"]).timestamp(),
          datetime.datetime.fromisoformat(r["end"]).timestamp())
         for r in csv.DictReader(open(sys.argv[1]))]
today = datetime.datetime(2026, 12, 7, 16, tzinfo=datetime.timezone.utc).timestamp()
print(" ".join(str(d) for d in range(3, 29)
               if not any(s < today - 86400 * d < e for s, e in spans)))
EOF
)
[ -n "$free" ] || fail "the month has no midnight without a session"
for back in $free; do
  since=$(date -d "2026-12-08 -$back days" +%F)
  until=$(date -d "2026-12-08 -$((back - 2)) days" +%F)
  run_velmar "$work/month" -- "-$back" +d48 -l +g +p || fail "velmar -$back"
  report_levels "$work/out.txt" >"$work/report.levels"
  answer_ok "busy from $since" busy "$log" --since "$since" --until "$until" --format json
  busy_levels >"$work/busy.levels"
  diff -u "$work/report.levels" "$work/busy.levels" ||
    fail "time at exactly k lines from $since differs from the report"
  weighted=$(awk '{ s += $1 * $2 } END { print s }' "$work/report.levels")
  jq_is "line-seconds from $since" '"\(.line_seconds) \(.covered_seconds)"' "$weighted 172800"
  # The rows add up to the totals.
  jq_is "rows from $since" '[.rows[].line_seconds] | add' "$weighted"
done

# ---- The worked day: the log ends at 11:00, the report runs to 12:00 ----
worked_rows | mklog "$work/worked"
run_velmar "$work/worked" -- 0 -l +g
report_levels "$work/out.txt" | awk '$1 >= 1' >"$work/report.levels"
answer_ok "busy on the worked day" busy "$work/worked/SysEvent.Evt" --since 2026-12-08 \
  --until 2026-12-09 --format json
busy_levels | awk '$1 >= 1' >"$work/busy.levels"
diff -u "$work/report.levels" "$work/busy.levels" || fail "worked day: rows for k >= 1 differ"
jq_is "worked day coverage" '.covered_seconds' 39600

# ---- A user on from 23:50 to 00:10 whose connect the log does not hold ----
{
  rec 1 2026-12-07T15:55:00Z 7036 Spooler running
  rec 2 2026-12-07T16:10:00Z 20050 DIALUP eve COM1 d t d t 20 0
  rec 3 2026-12-07T17:00:00Z 7036 Spooler stopped
} | mklog "$work/midnight"
answer_ok "busy by day" busy "$work/midnight/SysEvent.Evt" --step day --format csv
grep -qx '2026-12-08T00:00:00+08:00,3600,600,0.167,1,,0' "$work/a.out" ||
  fail "the new day does not hold the 600 line-seconds: $(cat "$work/a.out")"
run_velmar "$work/midnight" -- 0 -l +g
grep -q '^  1 Lines' "$work/out.txt" && fail "the report now counts the rebuilt session"
# A window reaching before the log: covered seconds say so, the mean is empty.
answer_ok "busy before the log" busy "$work/midnight/SysEvent.Evt" --since 2026-12-07T22:00 \
  --until 2026-12-08T01:00 --format csv
[ "$(sed -n 2p "$work/a.out")" = "2026-12-07T22:00:00+08:00,0,0,,,,0" ] ||
  fail "uncovered hour: $(sed -n 2p "$work/a.out")"
[ "$(sed -n 3p "$work/a.out")" = "2026-12-07T23:00:00+08:00,300,300,1.000,1,,0" ] ||
  fail "partly covered hour: $(sed -n 3p "$work/a.out")"
answer_ok "busy before the log as JSON" busy "$work/midnight/SysEvent.Evt" \
  --since 2026-12-07T22:00 --until 2026-12-08T01:00 --format json
jq_is "uncovered mean" '.rows[0].mean_lines, .rows[0].peak_lines' "null null"

# ---- Two servers, and an older log of one of them ----
{
  rec 1 2026-12-08T00:00:00Z 7036 Spooler running
  rec 2 2026-12-08T01:00:00Z 20017 DIALUP alice COM1
  rec 3 2026-12-08T01:00:00Z 20017 DIALUP bob COM2
  rec 4 2026-12-08T02:00:00Z 20050 DIALUP alice COM1 d t d t 60 0
  rec 5 2026-12-08T02:00:00Z 20050 DIALUP bob COM2 d t d t 60 0
  rec 6 2026-12-08T03:00:00Z 7036 Spooler stopped
} | mklog "$work/a"
printf 'COM1\nCOM2\n' >"$work/a/RasPorts.txt"
{
  on RAS2 1 2026-12-08T00:00:00Z 7036 Spooler running
  on RAS2 2 2026-12-08T01:30:00Z 20017 DIALUP carol COM1
  on RAS2 3 2026-12-08T02:30:00Z 20050 DIALUP carol COM1 d t d t 60 0
  on RAS2 4 2026-12-08T03:00:00Z 7036 Spooler stopped
} | mklog "$work/b"
printf 'COM1\r\n' >"$work/b/RasPorts.txt"
rec 1 2026-12-01T00:00:00Z 7036 Spooler running | mklog "$work/old"
printf 'COM1\nCOM2\n' >"$work/old/RasPorts.txt"
answer_ok "two servers" busy "$work/a/SysEvent.Evt" "$work/b/SysEvent.Evt" \
  "$work/old/SysEvent.Evt" --since 2026-12-08T08:00 --until 2026-12-08T11:00 --format json
jq_is "two servers" '"\(.lines) \(.lines_from) \(.peak_lines) \(.all_busy_seconds) \(.line_seconds)"' \
  "3 RasPorts.txt 3 1800 10800"
answer_ok "two servers, ports given" busy "$work/a/SysEvent.Evt" "$work/b/SysEvent.Evt" \
  --ports "$work/a/RasPorts.txt" --format json
jq_is "ports given" '"\(.lines) \(.lines_from) \(.all_busy_seconds)"' "2 --ports 3600"
answer_ok "sessions of two servers" sessions "$work/a/SysEvent.Evt" "$work/b/SysEvent.Evt" \
  --format ndjson --utc
[ "$(jq -rs 'map("\(.computer)/\(.user)") | join(",")' "$work/a.out")" = \
  "RAS1/alice,RAS1/bob,RAS2/carol" ] || fail "two servers: sessions not in the order they end"

# ---- The same two servers at a glance: filters, every line busy ----
ab="$work/a/SysEvent.Evt $work/b/SysEvent.Evt"
read -ra two <<<"$ab"
answer_ok "allbusy of two servers" allbusy "${two[@]}" --since 2026-12-08T08:00 \
  --until 2026-12-08T11:00
diff -u - "$work/a.out" <<'EOF' || fail "allbusy of two servers"
start                      end                        time (h:mm:ss)
2026-12-08T09:30:00+08:00  2026-12-08T10:00:00+08:00         0:30:00
total: 1 interval                                            0:30:00

all 3 lines (RasPorts.txt) busy 16.67% of the covered 3:00:00
EOF
# label | arguments | the answer's CSV rows after the header, joined by spaces
while IFS='|' read -r label line want; do
  read -ra args <<<"$line"
  answer_ok "$label" "${args[@]}" "${two[@]}" --format csv
  got=$(sed 1d "$work/a.out" | tr '\n' ' ' | sed 's/ $//')
  [ "$got" = "$want" ] || fail "$label: '$got', not '$want'"
done <<'EOF'
sessions of two users|sessions --user carol --user alice --utc|RAS1,COM1,alice,2026-12-08T01:00:00+00:00,2026-12-08T02:00:00+00:00,3600,connect,disconnect,3600,2,4 RAS2,COM1,carol,2026-12-08T01:30:00+00:00,2026-12-08T02:30:00+00:00,3600,connect,disconnect,3600,2,3
sessions of a user on a port|sessions --user bob --port COM1|
users of a port on either server|users --port COM1 --sort user --utc|alice,1,3600,3600,2026-12-08T01:00:00+00:00,2026-12-08T02:00:00+00:00 carol,1,3600,3600,2026-12-08T01:30:00+00:00,2026-12-08T02:30:00+00:00
busy of one user|busy --user bob --since 2026-12-08T08:00 --until 2026-12-08T11:00|2026-12-08T08:00:00+08:00,3600,0,0.000,0,0,0 2026-12-08T09:00:00+08:00,3600,3600,1.000,1,0,1 2026-12-08T10:00:00+08:00,3600,0,0.000,0,0,0
busy of two ports|busy --port COM1 --port COM2 --user alice --user carol --since 2026-12-08T09:00 --until 2026-12-08T11:00|2026-12-08T09:00:00+08:00,3600,5400,1.500,2,0,2 2026-12-08T10:00:00+08:00,3600,1800,0.500,1,0,0
allbusy cut at the range|allbusy --since 2026-12-08T01:45 --until 2026-12-08T01:50:30 --utc|2026-12-08T01:45:00+00:00,2026-12-08T01:50:30+00:00,330
allbusy with more lines than were busy|allbusy --lines 4|
EOF

# ---- The month at a glance: every line busy, sort and top, steps, words ----
# allbusy's intervals add up to busy's all-busy time, lie in the range and
# in time order, and none touches the next (they would be one).
answer_ok "busy of the month" busy "$log" --format json
all_busy=$(jq -r .all_busy_seconds "$work/a.out")
answer_ok "allbusy of the month" allbusy "$log" --format json
jq_is "allbusy total" '"\(.seconds) \([.intervals[].seconds] | add) \(.count)"' \
  "$all_busy $all_busy $(jq '.intervals | length' "$work/a.out")"
python3 - "$work/a.out" <<'EOF' || fail "allbusy: intervals out of order or touching"
import datetime, json, sys
i = [(datetime.datetime.fromisoformat(r["start"]), datetime.datetime.fromisoformat(r["end"]))
     for r in json.load(open(sys.argv[1]))["intervals"]]
assert all(s < e for s, e in i) and all(i[k - 1][1] < i[k][0] for k in range(1, len(i))), i[:3]
EOF
count=$(jq .count "$work/a.out")
answer_ok "allbusy of the month as NDJSON" allbusy "$log" --format ndjson
[ "$(jq -c 'select(.seconds > 0)' "$work/a.out" | wc -l)" = "$count" ] ||
  fail "allbusy NDJSON: not $count intervals"
# --sort and --top: the rows of the whole answer in that order, the first N.
# label | arguments | the same rows from the whole CSV: a sort(1) key, or - for the first lines
while IFS='|' read -r label line key; do
  read -ra args <<<"$line"
  answer_ok "$label" "${args[@]}" "$log" --format csv
  sed 1d "$work/a.out" >"$work/top.csv"
  n=$(wc -l <"$work/top.csv")
  read -ra whole <<<"${line%% --top*}"
  answer_ok "$label, whole" "${whole[@]}" "$log" --format csv
  if [ "$key" = - ]; then sed 1d "$work/a.out" | head -n "$n" >"$work/want.csv"
  else sed 1d "$work/a.out" | sort -t, -s "$key" | head -n "$n" >"$work/want.csv"; fi
  { [ "$n" = "${line##*--top }" ] && cmp -s "$work/want.csv" "$work/top.csv"; } ||
    fail "$label: $n rows, $(diff "$work/want.csv" "$work/top.csv" | head -n 4)"
done <<'EOF'
users by time, top 5|users --top 5|-
users by sessions|users --sort sessions --top 7|-k2,2nr
users by name|users --sort user --top 4|-k1,1
users by the last end|users --sort last_end --top 3|-k6,6
busiest hours by mean|busy --top 5|-k4,4nr
hours by connects|busy --sort connects --top 6|-k7,7nr
days by all-busy time|busy --step day --sort all_busy_seconds --top 3|-k6,6nr
hours of the week by mean|busy --step weekhour --top 5|-k6,6nr
hours of the week by the hour of the day|busy --step weekhour --sort hour --top 30|-k2,2n
EOF
answer_ok "busy with the own order asked" busy "$log" --sort start --format csv
cp "$work/a.out" "$work/start.csv"
answer_ok "busy in its own order" busy "$log" --format csv
cmp -s "$work/start.csv" "$work/a.out" || fail "--sort start is not the time order"
# Weeks from Monday and months from the first add up to the hours.
answer_ok "busy by hour" busy "$log" --format json
hours=$(jq -r .line_seconds "$work/a.out")
for step in week month; do
  answer_ok "busy by $step" busy "$log" --step "$step" --format json
  jq_is "busy by $step adds up" '[.rows[].line_seconds] | add' "$hours"
done
jq_is "months" '[.rows[].start] | join(" ")' "2026-11-01T00:00:00+08:00 2026-12-01T00:00:00+08:00"
answer_ok "busy by week" busy "$log" --step week --format csv
cut -d, -f1 "$work/a.out" | sed 1d | while read -r start; do
  [ "$(TZ=SGT-8 date -d "$start" +%u%T)" = "100:00:00" ] || echo "$start"
done | grep -q . && fail "a week that starts other than at a Monday's midnight"
# Words and times relative to now, against the README's pinned clock: each
# answer is the one its plain times give.
# arguments with words | the same with plain times
while IFS='|' read -r words plain; do
  read -ra w <<<"$words"
  read -ra p <<<"$plain"
  (unset TZ; LD_PRELOAD=$faketime_lib FAKETIME_FMT=%s FAKETIME=$now exec "$tool" busy "$log" \
    "${w[@]}" --format csv) >"$work/words.csv" 2>"$work/a.err" || fail "busy $words: status $?"
  answer_ok "busy $plain" busy "$log" "${p[@]}" --format csv
  cmp -s "$work/words.csv" "$work/a.out" || fail "busy $words differs from busy $plain"
done <<'EOF'
--since yesterday --until today --step day|--since 2026-12-07 --until 2026-12-08 --step day
--since -12h --until now|--since 2026-12-08T00:00 --until 2026-12-08T12:00
--since -7d --step day|--since 2026-12-01T12:00 --step day
--since 2026-11 --until 2026-12 --step month|--since 2026-11-01 --until 2026-12-01 --step month
EOF

# ---- Rebuilt starts that reach back past every breakpoint kept ----
# 40,000 sessions leave more breakpoints than the profile keeps; each of the
# 30,000 disconnects after them is rebuilt from the horizon. Each raise is
# two changes, however far back it reaches: the answer comes in bounded
# time, and says which sessions it cut.
python3 "$src/tests/support/rebuilt_csv.py" 40000 30000 2000000 >"$work/far.csv"
"$tool" make "$work/far.csv" "$work/far.evt" || fail "make the far-reaching log"
(unset TZ; exec timeout 60 "$tool" busy "$work/far.evt" --format json) >"$work/a.out" 2>"$work/a.err" ||
  fail "busy on far-reaching rebuilt starts: status $?"
grep -q 'reaches back past the time still held in memory.*(and 29999 more such sessions)$' \
  "$work/a.err" || fail "far-reaching rebuilt starts: $(cat "$work/a.err")"
jq_is "far-reaching rebuilt starts: the log's span" '.covered_seconds' $((60 * 69999))

# ---- Every format parses; charts render ----
# check_csv LABEL: the last answer is CSV with a header row and rows of
# one length (Python's csv), and sqlite3 imports every row without a word.
check_csv() {
  local rows count
  rows=$(python3 -c 'import csv, sys
rows = list(csv.reader(open(sys.argv[1], newline="")))
assert len(rows) >= 2 and len({len(r) for r in rows}) == 1, rows[:3]
print(len(rows) - 1)' "$work/a.out") || fail "$1: CSV rows of unequal length"
  count=$(sqlite3 :memory: -cmd ".mode csv" -cmd ".import $work/a.out t" \
    "select count(*) from t" 2>"$work/sqlite.err")
  [ ! -s "$work/sqlite.err" ] || fail "$1: sqlite3 .import: $(cat "$work/sqlite.err")"
  [ "$count" = "$rows" ] || fail "$1: sqlite3 imported $count of $rows rows"
}
while read -r label line; do
  read -ra args <<<"$line"
  answer_ok "$label csv" "${args[@]}" "$log" --format csv && check_csv "$label"
  answer_ok "$label json" "${args[@]}" "$log" --format json
  python3 -m json.tool "$work/a.out" >/dev/null || fail "$label: json.tool refuses the JSON"
  jq -e . "$work/a.out" >/dev/null || fail "$label: jq refuses the JSON"
done <<'EOF'
info info
sessions sessions
users users
users-sorted users --sort longest_seconds --top 9 --port COM2
busy-hour busy --step hour
busy-day busy --step day
busy-week busy --step week
busy-month busy --step month
busy-weekhour busy --step weekhour
busy-top busy --top 10 --user usim
allbusy allbusy
capacity capacity --target 0.01,0.1
EOF
# ---- SQL: a database whose numbers sort as numbers ----
# sql_db LABEL DB ARGS...: the answer's SQL script run by sqlite3 into DB;
# the answer must succeed and sqlite3 say nothing.
sql_db() {
  local label=$1 db=$2
  shift 2
  answer_ok "$label sql" "$@" --format sql
  { sqlite3 "$db" <"$work/a.out" >"$work/sqlite.out" 2>&1 && [ ! -s "$work/sqlite.out" ]; } ||
    fail "$label: sqlite3 says $(head -n 3 "$work/sqlite.out")"
}
# sq DB QUERY: one query's result, its rows joined by spaces.
sq() { sqlite3 "$1" "$2" | tr '\n' ' ' | sed 's/ $//'; }
db=$work/pool.db
# table | arguments: as many rows as the CSV, and typed columns
while IFS='|' read -r table line; do
  read -ra args <<<"$line"
  answer_ok "$table csv" "${args[@]}" "$log" --format csv
  rows=$(($(wc -l <"$work/a.out") - 1))
  for run in 1 2; do  # a second run replaces the table
    sql_db "$table run $run" "$db" "${args[@]}" "$log"
    [ "$(sq "$db" "select count(*) from $table")" = "$rows" ] || fail "$table: not $rows rows"
  done
done <<'EOF'
sessions|sessions
users|users
busy|busy --step day
allbusy|allbusy
EOF
sql_db "busy by the hour of the week" "$work/week.db" busy "$log" --step weekhour
[ "$(sq "$work/week.db" "select count(*), min(hour), max(hour) from busy where day = 'Mon'")" = "24|0|23" ] ||
  fail "busy by the hour of the week in SQL"
# query | the same from the CSV answers
python3 - "$log" "$db" "$tool" <<'EOF' || fail "SQL queries differ from the answers"
import csv, io, os, sqlite3, subprocess, sys
log, db, tool = sys.argv[1:]
env = {k: v for k, v in os.environ.items() if k != "TZ"}
def rows(*args):
    out = subprocess.run([tool, *args, log, "--format", "csv"], env=env, check=True,
                         capture_output=True, text=True).stdout
    return list(csv.DictReader(io.StringIO(out)))
q = sqlite3.connect(db).execute
sessions, users = rows("sessions"), rows("users", "--top", "5")
assert [tuple(map(str, r)) for r in q("select typeof(seconds), typeof(start_epoch), "
        "typeof(start_local), typeof(start) from sessions limit 1")] == [
        ("integer", "integer", "text", "text")]
# Top users by their time, as users ranks them.
top = q("select user, sum(seconds) from sessions group by user order by 2 desc, 1 limit 5")
assert [(u, str(s)) for u, s in top] == [(r["user"], r["seconds"]) for r in users], top
# Sessions per hour of the day, by the local time of their start.
per_hour = {}
for r in sessions:
    per_hour[r["start"][11:13]] = per_hour.get(r["start"][11:13], 0) + 1
got = dict(q("select strftime('%H', start_local), count(*) from sessions group by 1"))
assert got == per_hour, (got, per_hour)
# Numbers sort as numbers: the longest session first, the epoch is the instant.
longest = max(int(r["seconds"]) for r in sessions)
assert q("select seconds from sessions order by seconds desc limit 1").fetchone()[0] == longest
assert q("select count(*) from sessions where end_epoch - start_epoch != seconds").fetchone()[0] == 0
# The all-busy time: the intervals add up to the days' all-busy seconds.
a, b = q("select (select sum(seconds) from allbusy), (select sum(all_busy_seconds) from busy)").fetchone()
assert a == b and a > 0, (a, b)
assert q("select count(*) from busy where mean_lines is null").fetchone()[0] == 0
EOF
# Names from a log, whatever their bytes, come back from the database
# byte for byte, as CSV gives them.
{
  rec 1 2026-12-08T01:00:00Z 20017 DIALUP "o'brien" COM1
  rec 2 2026-12-08T01:00:01Z 20017 DIALUP '"a;'"'"');DROP TABLE sessions;--"' COM2
  rec 3 2026-12-08T01:00:02Z 20017 DIALUP '"two'$'\n''lines"' COM3
  rec 4 2026-12-08T01:00:03Z 20017 DIALUP $'\e[31mred' COM4
  rec 5 2026-12-08T01:00:04Z 20017 DIALUP 'Zoë 日本' COM5
  rec 6 2026-12-08T02:00:00Z 7036 Spooler stopped
} | mklog "$work/odd"
answer_ok "odd names csv" sessions "$work/odd/SysEvent.Evt" --format csv
python3 -c 'import csv, sys
for r in csv.DictReader(open(sys.argv[1], newline="", encoding="utf-8")):
    print(r["user"].encode().hex().upper())' "$work/a.out" | sort >"$work/names.want"
sql_db "odd names" "$work/odd.db" sessions "$work/odd/SysEvent.Evt"
sqlite3 "$work/odd.db" "select hex(user) from sessions" | sort >"$work/names.got"
{ [ "$(wc -l <"$work/names.want")" = 5 ] && diff -u "$work/names.want" "$work/names.got"; } ||
  fail "odd names: the database's names differ from the log's"
# An answer that fails leaves no table, and keeps the one there before.
cp "$log" "$work/cut.evt"
damage "$work/cut.evt" 2000
answer sessions "$work/cut.evt" --format sql
[ "$?" = 2 ] || fail "SQL of a damaged log: status not 2"
sqlite3 "$work/fresh.db" <"$work/a.out" 2>/dev/null
[ "$(sq "$work/fresh.db" "select count(*) from sqlite_master where name = 'sessions'")" = 0 ] ||
  fail "SQL of a damaged log left a table"
rows=$(sq "$db" "select count(*) from sessions")
sqlite3 "$db" <"$work/a.out" 2>/dev/null
[ "$(sq "$db" "select count(*) from sessions")" = "$rows" ] ||
  fail "SQL of a damaged log changed the table there before"

# A file name that is no UTF-8, with an escape sequence in it: the JSON is
# UTF-8 all the same (U+FFFD for the stray byte), a terminal sees '?' for
# each control, and a pipe gets the name's own bytes.
odd="$work/x"$'\xff\e[31m'".evt"
cp "$log" "$odd"
answer_ok "info of an odd name" info "$odd" --format json
python3 -c 'import json, sys; json.loads(open(sys.argv[1], "rb").read().decode("utf-8"))' \
  "$work/a.out" || fail "info of an odd name: the JSON is not UTF-8"
jq_is "info of an odd name" '.logs[0].file' "$work/x"$'\xef\xbf\xbd\e[31m'".evt"
# shellcheck disable=SC2016 # the inner shell expands TOOL and ODD, which hold odd bytes
ODD=$odd TOOL=$tool timeout 60 script -qec 'TZ=SGT-8 "$TOOL" info "$ODD"' /dev/null >"$work/tty.out"
grep -qF "file           $work/x??[31m.evt" "$work/tty.out" ||
  fail "info to a terminal: $(head -n 1 "$work/tty.out" | od -c | head -n 3)"
answer_ok "info of an odd name into a pipe" info "$odd"
grep -qxF "file           $odd" "$work/a.out" || fail "info into a pipe changed the name"
answer_ok "sessions ndjson" sessions "$log" --format ndjson
[ "$(jq -c . "$work/a.out" | wc -l)" = "$(wc -l <"$work/a.out")" ] || fail "ndjson: jq disagrees"
[ "$(wc -l <"$work/a.out")" = "$(($(wc -l <"$work/sessions.csv") - 1))" ] ||
  fail "ndjson and CSV hold different numbers of sessions"
# The charts: SVG with a title and a description, nothing from outside,
# each figure named in its legend, the time axis on the clock's and the
# calendar's own boundaries and never finer than the buckets, time no log
# covers shaded and named; a month of hours fits a desktop's page, a day of
# them a phone's screen.
# name | screen width | texts the chart shows, among others | arguments
svgshots=()
while IFS='|' read -r name screen texts line; do
  read -ra args <<<"$line"
  answer_ok "svg $name" busy "$log" "${args[@]}" --format svg
  cp "$work/a.out" "$shots/busy-$name.svg"
  python3 -c 'import sys, xml.etree.ElementTree as E; r = E.parse(sys.argv[1]).getroot()
ns = "{http://www.w3.org/2000/svg}"
assert r.tag == ns + "svg" and r.find(ns + "title") is not None and r.find(ns + "desc") is not None
shown = [t.text for t in r.iter(ns + "text")]
missing = [t for t in sys.argv[2].split(",") if t not in shown]
assert not missing, "missing: %s in %s" % (missing, shown)' "$work/a.out" "$texts" ||
    fail "svg $name: not an SVG with title, desc and the texts $texts"
  grep -qE '(href|src)=' "$work/a.out" && fail "svg $name: refers to something outside"
  svgshots+=("$shots/busy-$name.svg" "$shots/busy-$name-$screen.png" "$screen")
done <<'EOF'
month|1280|Lines in use per hour,mean,peak,3 lines,all 3 busy,Nov 9,Nov 11,Dec 7,local time|--step hour
day|390|mean,peak,3 lines,all 3 busy,Dec 7,06:00,12:00,18:00,Dec 8|--step hour --since 2026-12-07 --until 2026-12-08
days|1280|Lines in use per day,Nov 9,Nov 16,Nov 23,Nov 30,Dec 7|--step day
gap|1280|not covered,Nov 5,Nov 8,Nov 12|--step hour --since 2026-11-05 --until 2026-11-12 --utc
weekhour|1280|Mon,Sun,00:00,21:00,mean lines: 0|--step weekhour
weeks|390|Lines in use per week,Nov 2,Nov 16,Nov 30|--step week
months|390|Lines in use per month,Nov,Dec,2027,not covered|--step month
EOF
# One Chromium shows them all, each within its screen's width.
if [ -d "$src/tests/web/node_modules/playwright-core" ]; then
  node "$src/tests/web/svgshot.mjs" "${svgshots[@]}" >"$work/shot.txt" 2>"$work/shot.err" ||
    fail "svg: Chromium did not show a chart within its screen: $(cat "$work/shot.err")"
  [ "$(wc -l <"$work/shot.txt")" = $((${#svgshots[@]} / 3)) ] || fail "svg: not every chart shown"
else
  fail "playwright-core missing: run scripts/install-deps"
fi

# ---- Wrapped and dirty logs read as the report reads them ----
"$tool" dump "$log" >"$work/month.csv"
"$tool" make "$work/month.csv" "$work/wrapped.evt" --max-size 65536 || fail "make wrapped"
answer_ok "info wrapped" info "$work/wrapped.evt" --format json
jq_is "wrapped clean" '.logs[0] | "\(.wrapped) \(.dirty)"' "true false"
answer_ok "sessions wrapped" sessions "$work/wrapped.evt" --format csv
cp "$work/a.out" "$work/clean.csv"
printf '\x03' | dd of="$work/wrapped.evt" bs=1 seek=36 conv=notrunc 2>/dev/null
answer_ok "info dirty" info "$work/wrapped.evt" --format json
jq_is "wrapped dirty" '.logs[0] | "\(.wrapped) \(.dirty)"' "true true"
answer_ok "sessions dirty" sessions "$work/wrapped.evt" --format csv
cmp -s "$work/clean.csv" "$work/a.out" || fail "a dirty header changes the sessions"

# ---- Failures: a message naming the cause, status 2 ----
cp "$log" "$work/damaged.evt"
offset=$(python3 -c 'import sys; d = open(sys.argv[1], "rb").read()
at = [i for i in range(48, len(d), 4) if d[i + 4:i + 8] == b"LfLe"]
print(at[len(at) // 2] + 4)' "$work/damaged.evt")
printf 'XXXX' | dd of="$work/damaged.evt" bs=1 seek="$offset" conv=notrunc 2>/dev/null
printf 'COM1\n\nCOM2\n' >"$work/blank-ports.txt"
mkdir -p "$work/noports" && cp "$log" "$work/noports/"
# status | message (a grep pattern) | arguments
while IFS='|' read -r want message line; do
  read -ra args <<<"$line"
  answer "${args[@]}"
  got=$?
  [ "$got" = "$want" ] || fail "velmar-log $line: status $got, not $want"
  grep -q -- "$message" "$work/a.err" || fail "velmar-log $line: no '$message' in: $(cat "$work/a.err")"
done <<EOF
2|^velmar-log: $work/none.evt: No such file or directory$|sessions $work/none.evt
2|^velmar-log: $work/month.csv: not an accounting log nor an event log (tried evt, detail, nps, ias, nps-xml)$|users $work/month.csv
2|^velmar-log: $work/damaged.evt: damaged: record [0-9]* can't be read|sessions $work/damaged.evt
2|damaged: record|busy $work/damaged.evt
2|--since: bad value '2026-02-30'|busy $log --since 2026-02-30
2|--until: bad value 'tomorrow'|users $log --until tomorrow
2|--since must come before --until|info $log --since 2026-12-08 --until 2026-12-01
2|unknown option --step|sessions $log --step day
2|--format: bad value 'svg'|sessions $log --format svg
2|--step: bad value 'year'|busy $log --step year
2|--since: bad value '-7w'|busy $log --since -7w
2|--until: bad value '-99999999d' (not in the years 0001 to 9999 of the zone)|busy $log --until -99999999d
2|--sort: bad value 'mean' (a column of this answer: start, covered_seconds, line_seconds, mean_lines, peak_lines, all_busy_seconds, connects)|busy $log --sort mean
2|--sort: bad value 'start' (a column of this answer: day, hour, weeks,|busy $log --step weekhour --sort start
2|--sort: bad value 'seconds2' (a column of this answer: user, sessions, seconds,|users $log --sort seconds2
2|allbusy needs the pool's lines|allbusy $work/noports/SysEvent.Evt
2|--lines: bad value '0'|capacity $log --lines 0
2|--target: bad value '0.01,1.5'|capacity $log --target 0.01,1.5
2|give --lines or --ports|busy $log --lines 3 --ports $work/a/RasPorts.txt
2|$work/blank-ports.txt: invalid data: a blank line|busy $log --ports $work/blank-ports.txt
2|$work/none.txt: No such file or directory|capacity $log --ports $work/none.txt
2|capacity needs the pool's lines|capacity $work/noports/SysEvent.Evt
2|no log file given|users --utc
2|--until: bad value '9999-12-31T23:59:59-23:59' (not in the years 0001 to 9999 of the zone)|busy $log --since 9999-12-30 --until 9999-12-31T23:59:59-23:59 --step day
2|--since: bad value '0001-01-01T00:00+01:00' (not in the years 0001 to 9999|sessions $log --since 0001-01-01T00:00+01:00 --utc
2|^velmar-log: more than 1000000 hours: narrow the range with --since and --until, or use --step day, week or month$|busy $log --since 0001-01-01 --until 9999-12-31
2|^velmar-log: more than 1000000 days: narrow the range with --since and --until, or use --step week or month$|busy $log --since 0001-01-01 --until 9999-12-31 --step day
2|^velmar-log: more than 1000000 hours: narrow the range with --since and --until$|busy $log --since 0001-01-01 --until 9999-12-31 --step weekhour
2|^velmar-log: more than 1000000 hours: narrow the range with --since and --until$|capacity $log --since 0001-01-01 --until 9999-12-31 --lines 8
EOF
# The last second of the year 9999 is a time like any other.
answer_ok "busy to the end of 9999" busy "$log" --since 9999-12-31 --until 9999-12-31T23:59:59 \
  --step day --format json
jq_is "busy to the end of 9999" '"\(.until) \(.rows[0].start) \(.covered_seconds)"' \
  "9999-12-31T23:59:59+08:00 9999-12-31T00:00:00+08:00 0"
# Rows already written stay written, and the status still says it failed.
answer sessions "$work/damaged.evt" --format csv
got=$?
{ [ "$got" = 2 ] && [ "$(wc -l <"$work/a.out")" -gt 1 ]; } || fail "streamed rows before the damage"
answer busy "$work/noports/SysEvent.Evt" --format csv
got=$?
{ [ "$got" = 0 ] && [ "$(sed -n 2p "$work/a.out" | cut -d, -f6)" = "" ]; } ||
  fail "without a port count the all-busy column must be empty"

# ---- The README's answers come out as it shows them ----
mkdir -p "$work/readme"
# The README's faketime '2026-12-08 12:00:00' under SGT-8 is the pinned clock.
(cd "$work/readme" && LD_PRELOAD=$faketime_lib FAKETIME_FMT=%s FAKETIME=$now TZ=SGT-8 \
  "$tool" sample logs --days 30 &&
  LD_PRELOAD=$faketime_lib FAKETIME_FMT=%s FAKETIME=$now TZ=SGT-8 \
    "$tool" sample radius --days 30 --nas 3 --format detail) || fail "the README's samples"
PATH=$build:$PATH env -u TZ python3 "$src/tests/e2e/readme_answers.py" "$src/README.md" \
  "$work/readme" || fail "the README's answers differ from what velmar-log gives"

finish "velmar-log answers: all checks passed"
