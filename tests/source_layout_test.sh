#!/usr/bin/env bash
# The layout check catches what it is for: each case is a tree of one file,
# on which source_layout.sh must pass, or fail with the rule it names.
set -uo pipefail
check=${VELMAR_SOURCE_DIR:?}/tests/source_layout.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# case_of WANT PATH LINE [PATH LINE]...: a tree holding each PATH with its
# one line LINE; WANT is "PASS" or a piece of the FAIL line the check must
# give.
case_of() {
  local want=$1 tree out files=""
  shift
  tree=$(mktemp -d "$work/tree.XXXXXX")
  while [ $# -ge 2 ]; do
    mkdir -p "$tree/$(dirname "$1")"
    printf '%s\n' "$2" >"$tree/$1"
    files+="${files:+, }$1 with '$2'"
    shift 2
  done
  out=$(bash "$check" "$tree" 2>&1)
  if ! grep -qF -- "$want" <<<"$out"; then
    echo "FAILED: $files should give '$want', gave:"
    printf '%s\n' "$out"
    failures=$((failures + 1))
  fi
}

case_of PASS platform/files_posix.cpp '#include <unistd.h>'
case_of PASS platform/winapi.h '#ifdef _WIN32'
case_of PASS standin/eventlog.cpp '#include "evt/evtfile.h"'
case_of PASS tests/standin/eventlog_test.cpp '#include "standin/eventlog.h"'
case_of PASS tools/evtwrite.h '#include "evt/evtformat.h"'
case_of 'FAIL: _WIN32 outside' evt/evtfile.cpp '#ifndef _WIN32'
case_of 'FAIL: an operating-system header' standin/library.cpp '#include <sys/types.h>'
case_of 'FAIL: a .cpp file of platform/ tests _WIN32' platform/files_posix.cpp '#ifndef _WIN32'
case_of 'FAIL: platform/ includes a header' platform/tempfile_posix.cpp '#include "logfolder/logdir.h"'
case_of 'FAIL: a POSIX or Windows file outside' logfolder/logdir_windows.cpp '// nothing'
case_of 'FAIL: a stand-in' eventlog/logread.cpp '#include "standin/eventlog.h"'
case_of 'FAIL: a stand-in' tools/dump.cpp '#include "evt/evtfile.h"'
# Folders, and the files of driver/ and charts/, need each other one way.
case_of PASS charts/svg.h '#include "answers/outbuf.h"' driver/report.h '#include "charts/svg.h"'
case_of 'FAIL: the includes among the product' charts/svg.h '#include "driver/report.h"' \
  driver/report.h '#include "charts/svg.h"'
case_of 'FAIL: the includes among the product' platform/files.h '#include "evt/evtformat.h"' \
  evt/evtformat.h '#include "platform/files.h"'
case_of "FAIL: the includes among charts/'s files" charts/svg.h '#include "charts/busychart.h"' \
  charts/busychart.cpp '#include "charts/svg.h"'
case_of "FAIL: the includes among driver/'s files" driver/scan.h '#include "driver/report.h"' \
  driver/report.cpp '#include "driver/scan.h"'

[ "$failures" = 0 ] && echo "PASS: the layout check fails each broken tree"
exit $((failures > 0))
