#!/usr/bin/env bash
# The source tree's layout rules: only platform/ knows the operating system
# (outside platform/, tests/ and bench/ no file mentions _WIN32 or includes
# unistd.h, fcntl.h, sys/..., io.h or windows.h); inside it the build, not
# the code, picks a service's POSIX or Windows file (no .cpp file there
# tests _WIN32, and no file elsewhere is named *_posix or *_windows), and
# it includes nothing of the rest of the tree; only the stand-ins and the
# tests use the stand-ins' headers and the .evt reader, which a Windows
# build leaves out; a RAS record has one decoding (its event codes live in
# eventlog/rasevent.h, and local times and numbers in text are read through
# eventlog/); the includes among the product's folders run one way (no
# folder needs one that needs it back: charts/ serves driver/ and knows
# nothing of it), and so do those among the files of driver/ and of charts/
# (a file and its header count as one, so no two of them need each other).
# Checks the tree at $1, else $VELMAR_SOURCE_DIR; build folders in it (those
# holding a CMakeCache.txt) and hidden ones are skipped.
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

# The seam: the build picks each service's file by its name, and the seam
# stands on nothing of the tree's own.
mapfile -d '' seam < <(find platform -maxdepth 1 -type f \( -name '*.cpp' -o -name '*.h' \) \
  -print0 2>/dev/null | sort -z)
if [ ${#seam[@]} -gt 0 ]; then
  mapfile -t seam_code < <(printf '%s\n' "${seam[@]}" | grep '\.cpp$')
  if [ ${#seam_code[@]} -gt 0 ] && grep -n -- '_WIN32' "${seam_code[@]}"; then
    echo "FAIL: a .cpp file of platform/ tests _WIN32; name it *_posix.cpp or *_windows.cpp (above)"
    failed=1
  fi
  if grep -nE -- '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "${seam[@]}" |
    grep -vE -- '#[[:space:]]*include[[:space:]]*"platform/'; then
    echo "FAIL: platform/ includes a header of the tree outside it (above)"
    failed=1
  fi
fi
if printf '%s\n' "${files[@]}" | grep -E -- '_(posix|windows)\.[^/]*$'; then
  echo "FAIL: a POSIX or Windows file outside platform/ (above)"
  failed=1
fi

# A Windows build links the system's Win32 calls and builds neither the
# stand-ins nor the .evt reader they serve the event log with: nothing else
# of the product may need them.
product=()
for f in "${files[@]}"; do
  case $f in ./standin/* | ./evt/*) ;; *) product+=("$f") ;; esac
done
if [ ${#product[@]} -gt 0 ] &&
  grep -nE -- '^[[:space:]]*#[[:space:]]*include[[:space:]]*"(standin/[^"]*|evt/evtfile\.h)"' \
    "${product[@]}"; then
  echo "FAIL: a stand-in's header or the .evt reader used outside standin/, evt/ and tests/ (above)"
  failed=1
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
mapfile -d '' sources < <(find . -mindepth 1 \
  \( -type d \( -path ./tests -o -path ./bench -o -name '.*' \
  -o -exec test -e '{}/CMakeCache.txt' \; \) -prune \) -o -type f -path './*/*' \
  \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 | sort -z)
folder_edges() {
  local f from to
  for f in "${sources[@]}"; do
    from=${f#./}
    from=${from%%/*}
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
