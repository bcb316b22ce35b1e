#!/usr/bin/env bash
# End-to-end: the port table. The port list RasPorts.txt lies beside the log;
# the tabulated listing (+t) shows one column per port, and with the table
# (+t or +p) the busy ports give the count of lines in use.
. "${VELMAR_SOURCE_DIR:?}/tests/e2e/lib.sh"

# ports DIR NAME...: the port list of the computer whose files lie in DIR.
ports() {
  local dir=$1
  shift
  mkdir -p "$dir"
  printf '%s\n' "$@" >"$dir/RasPorts.txt"
}

# --- Two ports listed A, B: the columns are B, then A. ---
{
  rec 1 2026-12-08T01:00:00Z 20017 DIALUP alice A
  rec 2 2026-12-08T01:30:00Z 20017 DIALUP bob B
  rec 3 2026-12-08T02:00:00Z 20050 DIALUP alice A
} | tee "$work/worked.csv" | mklog "$work/worked"
ports "$work/worked" A B
check ports-worked 0 "$work/worked" -- 0 +t
check ports-worked-plain 0 "$work/worked" -- 0 +p
# A named computer's port list lies in its own folder.
mklog "$work/named/RAS1" <"$work/worked.csv"
ports "$work/named/RAS1" A B
ports "$work/named" X
check ports-worked 0 "$work/named" -- 0 '\\RAS1' +t

# --- Records the table does not follow as the plain count does: a connect
# on a busy port, a port not in the list (names are matched exactly), an
# empty user, a disconnect on a free port. ---
{
  rec 1 2026-12-08T01:00:00Z 20017 DIALUP alice COM1
  rec 2 2026-12-08T01:10:00Z 20017 DIALUP bob COM1
  rec 3 2026-12-08T01:20:00Z 20017 DIALUP carol com2
  rec 4 2026-12-08T01:30:00Z 20017 DIALUP "" COM2
  rec 5 2026-12-08T01:40:00Z 20050 DIALUP dave COM2
  rec 6 2026-12-08T01:50:00Z 20050 DIALUP bob COM1
} | mklog "$work/odd"
ports "$work/odd" COM1 COM2
check ports-odd 0 "$work/odd" -- 0 +t
check ports-odd-plain 0 "$work/odd" -- 0 +p

# --- Three ports listed COM1, COM2, COM3 appear COM3, COM2, COM1; a reset
# spans all their columns. ---
{
  rec 1 2026-12-08T01:00:00Z 20017 DIALUP amy COM1
  rec 2 2026-12-08T01:30:00Z 20017 DIALUP ben COM3
  rec 3 2026-12-08T02:00:00Z 8033
  rec 4 2026-12-08T03:00:00Z 20017 DIALUP cy COM2
} | mklog "$work/reset"
ports "$work/reset" COM1 COM2 COM3
check ports-reset 0 "$work/reset" -- 0 +t

# --- Width 4: user names cut (never inside a UTF-8 character), a port
# name longer than its column shifts the header. ---
{
  rec 1 2026-12-08T01:00:00Z 20017 DIALUP alexandra LONGPORTNAME1
  rec 2 2026-12-08T02:00:00Z 20017 DIALUP "ren$(printf '\xc3\xa9')e" P2
  rec 3 2026-12-08T03:00:00Z 20050 DIALUP alexandra LONGPORTNAME1
  rec 4 2026-12-08T03:30:00Z 20017 DIALUP "zo$(printf '\xc3\xab')" LONGPORTNAME1
} | mklog "$work/cut"
ports "$work/cut" P2 LONGPORTNAME1
check ports-cut 0 "$work/cut" -- 0 +t +w4

# --- Port lists that give no table: missing, with a blank line, empty. The
# ports are asked for before the log is opened. ---
mkdir -p "$work/none"
missing="No such file or directory"
want_err="velmar: $work/none/RasPorts.txt: $missing" check ports-cant-read 2 "$work/none" -- 0 +t
want_err="velmar: $work/worked/NOSUCH/RasPorts.txt: $missing" \
  check ports-cant-read 2 "$work/worked" -- 0 '\\NOSUCH' +p
want_err='velmar: \\..: not a valid computer name' \
  check ports-cant-read 2 "$work/worked" -- 0 '\\..' +t
printf 'A\n\nB\n' >"$work/none/RasPorts.txt"
want_err="velmar: $work/none/RasPorts.txt: invalid data: an empty port name" \
  check ports-cant-read 2 "$work/none" -- 0 +p
: >"$work/none/RasPorts.txt"
check ports-none 2 "$work/none" -- 0 +t

# --- A FIFO, a folder or a device in the list's place fails at once: a
# FIFO's open would wait for a writer for ever. (Each run is given 10 s.) ---
mkdir -p "$work/special/FIFO" "$work/special/DIR/RasPorts.txt" "$work/special/DEV"
mkfifo "$work/special/FIFO/RasPorts.txt"
ln -s /dev/zero "$work/special/DEV/RasPorts.txt"
printf '#!/bin/sh\nexec timeout 10 "%s" "$@"\n' "$velmar" >"$work/timed"
chmod +x "$work/timed"
for case in "FIFO:not a regular file" "DIR:a folder, not a file" "DEV:not a regular file"; do
  want_err="velmar: $work/special/${case%%:*}/RasPorts.txt: ${case#*:}" velmar=$work/timed \
    check ports-cant-read 2 "$work/special" -- 0 "\\\\${case%%:*}" +t
done

finish "all port table runs match"
