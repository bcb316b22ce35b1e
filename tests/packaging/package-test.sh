#!/usr/bin/env bash
# The shipped form: both manual pages lint clean, the Debian package builds
# from this build folder with the project's name, version and computed
# dependencies, holds the programs, the pages and the web files, and the
# packaged velmar runs and writes its usage text with exit status 1.
set -euo pipefail
build=${VELMAR_BUILD_DIR:?}
src=${VELMAR_SOURCE_DIR:?}

fail() { echo "package-test: $*" >&2; exit 1; }
need() { command -v "$1" >/dev/null || fail "$1 is missing (Debian package $2)"; }
need groff groff
need dpkg-deb dpkg
need dpkg-shlibdeps dpkg-dev
need cpack cmake

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The version is the project's; the manual pages must carry the same one.
version=$(sed -n 's/^project(velmar VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
[ -n "$version" ] || fail "no version in project() of $src/CMakeLists.txt"

# Manual pages: any warning is a failure, on the default device and on the
# terminal device man uses.
for page in velmar.1 velmar-log.1; do
  for device in ps utf8; do
    out=$(groff -ww -z -T"$device" -man "$src/man/$page" 2>&1) || fail "groff failed on $page"
    [ -z "$out" ] || fail "groff -T$device warns on $page: $out"
  done
  grep -q "^\.TH .* \"velmar $version\"" "$src/man/$page" ||
    fail "$page does not name version $version in its .TH line"
  # A section the text sends the reader to ("(see" then .B or .BR NAME)
  # is a heading of the page: a merge can drop a section and keep the
  # references to it.
  missing=$(awk '/^\.S[HS] / { sub(/^\.S[HS] /, ""); gsub(/"/, ""); heading[$0] = 1 }
    see && /^\.BR? / { name = $0; sub(/^\.BR? /, "", name)
      if (name ~ /^"/) { sub(/^"/, "", name); sub(/".*/, "", name) } else sub(/ .*/, "", name)
      if (name ~ /^[A-Z]/) wanted[name] = 1 }
    { see = /\(see$/ }
    END { for (n in wanted) if (!(n in heading)) print n }' "$src/man/$page")
  [ -z "$missing" ] || fail "$page refers to sections it does not have: $missing"
done

# The programs must be in this build: the package is pointless without them.
for program in velmar velmar-log; do
  [ -x "$build/$program" ] || fail "$build/$program is not built; the package needs it"
done
[ -f "$build/CPackConfig.cmake" ] || fail "no CPackConfig.cmake in $build (packaging not configured)"

# Build the package into the scratch folder, not into the build folder.
(cd "$build" && cpack -G DEB -B "$work/pkg") >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack -G DEB failed"; }
debs=("$work"/pkg/*.deb)
{ [ "${#debs[@]}" = 1 ] && [ -f "${debs[0]}" ]; } || fail "expected one .deb, found: ${debs[*]}"
deb=${debs[0]}

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = velmar ] || fail "Package is '$(field Package)', not velmar"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ -n "$(field Depends)" ] || fail "Depends is empty: shlibdeps computed nothing"
[[ $(field Depends) == *libc6* ]] || fail "Depends lacks libc6: $(field Depends)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
[ -n "$(field Section)" ] || fail "no Section"

# Unpack into a scratch root and check the file list.
root=$work/root
dpkg-deb -x "$deb" "$root"
expect=(usr/bin/velmar usr/bin/velmar-log usr/share/doc/velmar/copyright)
for page in velmar.1 velmar-log.1; do
  if [ -f "$root/usr/share/man/man1/$page.gz" ]; then
    gzip -t "$root/usr/share/man/man1/$page.gz" || fail "$page.gz is not a gzip file"
    cmp -s <(gzip -dc "$root/usr/share/man/man1/$page.gz") "$src/man/$page" ||
      fail "packaged $page differs from the source"
  else
    expect+=("usr/share/man/man1/$page")
  fi
done
[ -f "$src/www/index.html" ] && expect+=(usr/share/velmar/www/index.html)
expect+=(usr/share/doc/velmar/lighttpd.conf.example)
for f in "${expect[@]}"; do
  [ -f "$root/$f" ] || fail "package lacks /$f (has: $(cd "$root" && find . -type f | sort | tr '\n' ' '))"
done
for f in usr/bin/velmar usr/bin/velmar-log; do
  [ -x "$root/$f" ] || fail "/$f is not executable"
done

# The packaged program, run with no arguments and no form, writes only its
# usage text and ends with status 1.
rc=0
(cd "$work" && env -u REQUEST_METHOD -u QUERY_STRING -u CONTENT_LENGTH \
  "$root/usr/bin/velmar" >"$work/usage.out" 2>"$work/usage.err") || rc=$?
[ "$rc" = 1 ] || fail "velmar without arguments exited with $rc, not 1"
[ "$(head -n 1 "$work/usage.out")" = "Velmar 1.08 May 97" ] ||
  fail "usage text starts with '$(head -n 1 "$work/usage.out")'"
grep -qF "or run: $root/usr/bin/velmar offset [\\\\computername]" "$work/usage.out" ||
  fail "usage text does not name the program: $(sed -n 3p "$work/usage.out")"
echo "package-test: $(basename "$deb") ok, Depends: $(field Depends)"
