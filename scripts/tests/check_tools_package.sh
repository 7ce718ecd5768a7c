#!/usr/bin/env bash
# check_tools_package.sh BUILD OBJDUMP VERSION WORKDIR: builds the tools zip
# twice from the Windows build BUILD with scripts/package.sh, unpacks it and
# checks what a user gets: the files the virtual seat's guide lists (and no others), the
# programs and the DLL as the build staged them, imports from system DLLs
# only, every program named in the zip's read-me, fixed file times, the same
# bytes from the same build, and that the shipped karvel-sim and karvel start
# (karvel with the Karvel.dll beside it) under
# wine, in the build's wine prefix (WINEPREFIX is set by the test).
set -euo pipefail
build=$1 objdump=$2 version=$3 work=$4
root=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
name="Karvel-tools-$version-Win64.zip"

rm -rf "$work"
mkdir -p "$work"
bash "$root/scripts/package.sh" --build "$build" --out "$work/first" >/dev/null
bash "$root/scripts/package.sh" --build "$build" --out "$work/second" >/dev/null
zip_file="$work/first/$name"
[ -f "$zip_file" ] || fail "no $name; got: $(ls "$work/first")"
cmp -s "$zip_file" "$work/second/$name" || fail "two runs gave different zips"

# The virtual seat's guide lists the zip's files, one "- \`Karvel-tools/NAME\`" a line.
guide=docs/virtual-seat.md
listed=$(sed -n 's/^- `\(Karvel-tools\/[^`]*\)`.*/\1/p' "$root/$guide" | LC_ALL=C sort)
[ -n "$listed" ] || fail "$guide lists no file of the tools zip"
actual=$(unzip -Z1 "$zip_file" | LC_ALL=C sort)
[ "$actual" = "$listed" ] || fail "the zip differs from what $guide lists:
$(diff <(echo "$listed") <(echo "$actual") || true)"
staged=$(cd "$build/tools-win64" && find . -type f | sed 's|^\./|Karvel-tools/|' | LC_ALL=C sort)
[ "$actual" = "$staged" ] || fail "the zip differs from the staged tools:
$(diff <(echo "$staged") <(echo "$actual") || true)"

# Fixed times: every entry carries the same one.
times=$(unzip -Z -T "$zip_file" | awk '/^[-d]/ {print $7}' | sort -u)
[ "$times" = "20000101.000000" ] || fail "file times are not fixed: $times"

unzip -q "$zip_file" -d "$work/unpacked"
tools="$work/unpacked/Karvel-tools"
for file in $(cd "$tools" && ls); do
  cmp -s "$tools/$file" "$build/tools-win64/$file" || fail "$file differs from the staged one"
done
cmp -s "$tools/Karvel.dll" "$build/library/Karvel.dll" || fail "Karvel.dll is not the build's"

# Programs and library import from Windows' own DLLs only; the library exports its fourteen names.
cmake -DLIBRARY="$tools/Karvel.dll" -DOBJDUMP="$objdump" -DEXPECTED="$root/library/tests/expected_exports.txt" \
      -P "$root/library/tests/check_exports.cmake" >/dev/null || fail "the DLL's exports or imports are wrong"
programs=$(cd "$tools" && ls -- *.exe)
[ -n "$programs" ] || fail "no program in the zip"
for program in $programs; do
  # shell32.dll (in every Windows) splits karvel's command line into Unicode words.
  cmake -DLIBRARY="$tools/$program" -DOBJDUMP="$objdump" -DEXPECTED=/dev/null -DMORE_SYSTEM_DLLS=shell32.dll \
        -P "$root/library/tests/check_exports.cmake" >/dev/null || fail "$program imports from a DLL Windows lacks"
  grep -q "^  ${program} " "$tools/README.txt" || fail "README.txt does not name $program"
done

# The program as shipped starts and knows its options.
help=$(cd "$tools" && WINEDEBUG=-all wine karvel-sim.exe --help) || fail "karvel-sim.exe --help failed"
grep -q -- "--bind" <<<"$help" || fail "karvel-sim.exe --help says nothing of --bind: $help"
help=$(cd "$tools" && WINEDEBUG=-all wine karvel.exe --help) || fail "karvel.exe --help failed"
grep -q -- "check" <<<"$help" || fail "karvel.exe --help says nothing of check: $help"
version=$(cd "$tools" && WINEDEBUG=-all wine karvel.exe version) || fail "karvel.exe version failed (Karvel.dll beside it)"
grep -Eq 'v[0-9]+\.[0-9]+\.[0-9]+' <<<"$version" || fail "karvel.exe version printed no version: $version"
echo "ok: $name, $(echo "$actual" | wc -l) files"
