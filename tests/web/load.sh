#!/usr/bin/env bash
# Sends COUNT requests to a page on this machine, PARALLEL at a time, and
# checks that every one answered 200 with a body equal, byte for byte, to an
# expected file. Prints one summary line; exits nonzero on any failure.
#
#   load.sh [-n COUNT] [-c PARALLEL] [-d POSTBODY] [-t SECONDS] URL EXPECTED
#
# COUNT defaults to 100 (at most 1000), PARALLEL to COUNT (at most 100),
# SECONDS (per request) to 30. With -d each request is a POST of POSTBODY as a
# form; without it a GET. Only loopback addresses are accepted as targets.
set -euo pipefail

usage() {
  echo "usage: $0 [-n COUNT] [-c PARALLEL] [-d POSTBODY] [-t SECONDS] URL EXPECTED" >&2
  exit 2
}

count=100 parallel='' body='' post=0 seconds=30
while getopts 'n:c:d:t:' opt; do
  case $opt in
    n) count=$OPTARG ;;
    c) parallel=$OPTARG ;;
    d) body=$OPTARG post=1 ;;
    t) seconds=$OPTARG ;;
    *) usage ;;
  esac
done
shift $((OPTIND - 1))
[ $# = 2 ] || usage
url=$1 expected=$2
parallel=${parallel:-$count}
[ "$parallel" -le 100 ] || parallel=100

for n in "$count" "$parallel" "$seconds"; do
  [[ $n =~ ^[1-9][0-9]*$ ]] || { echo "load.sh: not a positive number: $n" >&2; exit 2; }
done
[ "$count" -le 1000 ] || { echo "load.sh: at most 1000 requests" >&2; exit 2; }
[ -r "$expected" ] || { echo "load.sh: cannot read $expected" >&2; exit 2; }
case $url in
  http://127.*/* | http://127.* | http://localhost[:/]* | http://\[::1\][:/]*) ;;
  *) echo "load.sh: only loopback targets: $url" >&2; exit 2 ;;
esac

work=$(mktemp -d "${TMPDIR:-/tmp}/velmar-load.XXXXXX")
trap 'rm -rf "$work"' EXIT

curl_args=(-sS --noproxy '*' --max-time "$seconds" -o "$work/body.{}" -w '{} %{http_code}\n')
[ "$post" = 1 ] && curl_args+=(--data-raw "$body")

start=$(date +%s%N)
# curl's own failures show in its code (000) and on stderr; keep going so
# that every request is counted.
seq 1 "$count" | xargs -P "$parallel" -I{} curl "${curl_args[@]}" "$url" \
  >"$work/codes" 2>"$work/errors" || true
end=$(date +%s%N)

declare -A codes=()
while read -r i code; do codes[$i]=$code; done <"$work/codes"
failures=0 shown=0
for ((i = 1; i <= count; i++)); do
  code=${codes[$i]:-}
  if [ "$code" = 200 ] && cmp -s "$work/body.$i" "$expected"; then
    continue
  fi
  failures=$((failures + 1))
  if [ "$shown" -lt 3 ]; then
    shown=$((shown + 1))
    echo "request $i: status ${code:-none}" >&2
    [ -f "$work/body.$i" ] && diff "$expected" "$work/body.$i" | head -n 10 >&2
  fi
done
[ -s "$work/errors" ] && sort "$work/errors" | uniq -c | head -n 5 >&2

wall=$(((end - start) / 1000000))
printf 'requests: %d, parallel: %d, failures: %d, wall: %d.%03d s\n' \
  "$count" "$parallel" "$failures" $((wall / 1000)) $((wall % 1000))
[ "$failures" = 0 ]
