#!/usr/bin/env bash
# The source tree's layout rules: only platform/ knows the operating system
# (outside platform/, tests/ and bench/ no file mentions _WIN32 or includes
# unistd.h, fcntl.h, sys/..., io.h or windows.h), a RAS record has one
# decoding (its event codes live in eventlog/rasevent.h, and local times and
# numbers in text are read through eventlog/), the includes among the
# product's folders run one way (no folder needs one that needs it back:
# charts/ serves driver/ and knows nothing of it), and so do those among
# the files of driver/ and of charts/ (a file and its header count as one,
# so no two of them need each other). Checks the tree at $1, else
# $VELMAR_SOURCE_DIR; build folders in it (those holding a CMakeCache.txt)
# and hidden ones are skipped.
set -uo pipefail
root=${1:-${VELMAR_SOURCE_DIR:?}}
cd "$root" || exit 1
failed=0

# Every file outside the folders that may know the system.
mapfile -d '' files < <(find . -mindepth 1 \
  \( -type d \( -path ./platform -o -path ./tests -o -path ./bench -o -name '.*' \
  -o -exec test -e '{}/CMakeCache.txt' \; \) -prune \) -o -type f -print0 | sort -z)

os_include='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([Ww]indows\.h|io\.h|unistd\.h|fcntl\.h|sys/[^>"]*)[>"]'
if [ ${#files[@]} -gt 0 ]; then
  if grep -nI -- '_WIN32' "${files[@]}"; then
    echo "FAIL: _WIN32 outside platform/, tests/ and bench/ (above)"
    failed=1
  fi
  if grep -nIE -- "$os_include" "${files[@]}"; then
    echo "FAIL: an operating-system header outside platform/, tests/ and bench/ (above)"
    failed=1
  fi
fi

# One decoding of a RAS record: its event codes are written as numbers
# (outside comments) only in eventlog/rasevent.h, and no code calls the C
# library's local-time or number conversions itself; they go through
# RasLocalTime and the number reader in eventlog/.
code=()
for f in "${files[@]}"; do
  case $f in *.cpp | *.h | *.c) code+=("$f") ;; esac
done
if [ ${#code[@]} -gt 0 ]; then
  if grep -nE -- '^([^/]|/[^/])*\<(20017|20050|6005|8033)\>' "${code[@]}" |
    grep -v '^\./eventlog/rasevent\.h:'; then
    echo "FAIL: a RAS event code outside eventlog/rasevent.h (above)"
    failed=1
  fi
  if grep -nE -- '\<(localtime(_r|_s)?|strto(u?ll?|imax|umax)|ato(i|l|ll))[[:space:]]*\(' "${code[@]}" |
    grep -vE '^[^:]*:[0-9]+:[[:space:]]*//'; then
    echo "FAIL: a direct local-time or number conversion outside platform/ (above)"
    failed=1
  fi
fi

# loops EDGES WHAT: fails when the "from to" pairs of EDGES, one a line,
# form a loop, which tsort names.
loops() {
  local found
  if ! found=$(printf '%s\n' "$1" | tsort 2>&1 >/dev/null) || [ -n "$found" ]; then
    printf '%s\n' "$found"
    echo "FAIL: the includes among $2 form a cycle (above)"
    failed=1
  fi
}

# The folders' includes as "folder folder" pairs: a product folder's files
# (platform/'s too) and the folders they include from.
mapfile -d '' product < <(find . -mindepth 2 \
  \( -type d \( -path ./tests -o -path ./bench -o -name '.*' \
  -o -exec test -e '{}/CMakeCache.txt' \; \) -prune \) -o -type f \
  \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 | sort -z)
folder_edges() {
  local f from to
  for f in "${product[@]}"; do
    from=${f#./}
    from=${from%%/*}
    [ "$from" != "${f#./}" ] || continue
    echo "$from $from"
    sed -nE 's|^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"/]*)/[^"]*".*|\1|p' "$f" |
      while read -r to; do [ "$to" = "$from" ] || [ ! -d "$to" ] || echo "$from $to"; done
  done
}
loops "$(folder_edges)" "the product's folders"

# A folder's includes among its own files as "unit unit" pairs. A unit is
# a file's name without its extension; a file's own header is not an edge.
file_edges() {
  local f from to
  for f in "$1"/*.cpp "$1"/*.h; do
    [ -e "$f" ] || continue
    from=$(basename "${f%.*}")
    echo "$from $from"
    sed -nE "s|^[[:space:]]*#[[:space:]]*include[[:space:]]*\"$1/([^\"]*)\\.h\".*|\\1|p" "$f" |
      while read -r to; do [ "$to" = "$from" ] || echo "$from $to"; done
  done
}
for dir in driver charts; do loops "$(file_edges "$dir")" "$dir/'s files"; done

[ "$failed" = 0 ] && echo "PASS: the source layout keeps its rules"
exit "$failed"
