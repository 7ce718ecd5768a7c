#!/usr/bin/env bash
# check_package.sh BUILD OBJDUMP VERSION WORKDIR: builds the plugin zip twice
# from the Windows build BUILD with scripts/package.sh, unpacks it and checks what a user gets:
# the layout (every source of both modules, the user's guides, nothing else), the files as they are in
# the repository, the DLL's exports and imports, the guard's imports, the .uplugin fields, and the
# same bytes from the same inputs, and that the build rules stage the library
# from every place the module looks for it.
set -euo pipefail
build=$1 objdump=$2 version=$3 work=$4
dll="$build/library/Karvel.dll"
guard="$build/tools-win64/karvel-guard.exe"
root=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
bash "$root/scripts/package.sh" --build "$build" --out "$work/first" >/dev/null
bash "$root/scripts/package.sh" --build "$build" --out "$work/second" >/dev/null
zip_file="$work/first/Karvel-$version-Win64.zip"
[ -f "$zip_file" ] || fail "no $(basename "$zip_file"); got: $(ls "$work/first")"
cmp -s "$zip_file" "$work/second/Karvel-$version-Win64.zip" || fail "two runs gave different zips"

# Layout: exactly the plugin descriptor, the read-me with the user's guides (not the developer's), the DLL,
# its guard and every file of the modules' directories.
expected=$(
  { printf '%s\n' Karvel/Karvel.uplugin Karvel/README.md Karvel/Binaries/ThirdParty/Win64/Karvel.dll \
      Karvel/Binaries/ThirdParty/Win64/karvel-guard.exe
    (cd "$root" && find Source -type f && find docs -type f ! -name developer-guide.md) | sed 's|^|Karvel/|'; } |
  LC_ALL=C sort)
actual=$(unzip -Z1 "$zip_file" | LC_ALL=C sort)
[ "$actual" = "$expected" ] || fail "layout differs:
$(diff <(echo "$expected") <(echo "$actual") || true)"

unzip -q "$zip_file" -d "$work/unpacked"
plugin="$work/unpacked/Karvel"
cmp -s "$plugin/Binaries/ThirdParty/Win64/Karvel.dll" "$dll" || fail "the DLL is not the one given"
cmp -s "$plugin/Binaries/ThirdParty/Win64/karvel-guard.exe" "$guard" || fail "the guard is not the build's"
cmp -s "$plugin/Karvel.uplugin" "$root/Karvel.uplugin" || fail "Karvel.uplugin differs from the repository's"
cmp -s "$plugin/README.md" "$root/README.md" || fail "README.md differs from the repository's"
(cd "$root" && find Source docs -type f ! -name developer-guide.md) | while read -r file; do
  cmp -s "$plugin/$file" "$root/$file" || fail "$file differs from the repository's"
done

# The user's guide is whole: each guide the README links to is in, the developer's guide is not.
for guide in c-interface plugin-guide cueing-guide operator-guide virtual-seat; do
  [ -f "$plugin/docs/$guide.md" ] || fail "the user's guide lacks docs/$guide.md"
  grep -q "(docs/$guide.md)" "$plugin/README.md" || fail "README.md does not link to docs/$guide.md"
done
[ ! -e "$plugin/docs/developer-guide.md" ] || fail "the developer's guide is in the plugin zip"

# Every place the module loads the library from is staged for packaged games by its build rules.
searched=$(grep -o 'TEXT("[^"]*Karvel\.dll")' "$plugin/Source/Karvel/Private/SeatDeviceBackend_Win64.cpp" | sed 's/TEXT("\(.*\)")/\1/')
[ -n "$searched" ] || fail "no library location found in the module's sources"
for location in $searched; do
  grep -q "\"$location\"" "$plugin/Source/Karvel/Karvel.Build.cs" || fail "Karvel.Build.cs does not stage $location"
done

# The fourteen exports and system imports only.
cmake -DLIBRARY="$plugin/Binaries/ThirdParty/Win64/Karvel.dll" -DOBJDUMP="$objdump" \
      -DEXPECTED="$root/library/tests/expected_exports.txt" -P "$root/library/tests/check_exports.cmake" >/dev/null ||
  fail "the packaged DLL's exports or imports are wrong"
cmake -DLIBRARY="$plugin/Binaries/ThirdParty/Win64/karvel-guard.exe" -DOBJDUMP="$objdump" -DEXPECTED=/dev/null \
      -P "$root/library/tests/check_exports.cmake" >/dev/null || fail "the guard imports from a DLL Windows lacks"

# The descriptor as the engine reads it.
python3 - "$plugin/Karvel.uplugin" "$version" <<'PY' || fail "Karvel.uplugin fields"
import json, os, sys
with open(sys.argv[1], encoding="utf-8") as f:
    d = json.load(f)
problems = []
def expect(key, value):
    if d.get(key) != value:
        problems.append(f"{key}: {d.get(key)!r}, expected {value!r}")
expect("FileVersion", 3)
expect("VersionName", sys.argv[2])
expect("FriendlyName", "Karvel")
expect("CanContainContent", False)
expect("SupportedTargetPlatforms", ["Win64"])
# The engine-free core and the module that uses it, each with its build rules in the package.
module = lambda name: {"Name": name, "Type": "Runtime", "LoadingPhase": "Default", "PlatformAllowList": ["Win64"]}
expect("Modules", [module("KarvelSeatCore"), module("Karvel")])
for name in ("KarvelSeatCore", "Karvel"):
    if not os.path.isfile(os.path.join(os.path.dirname(sys.argv[1]), "Source", name, name + ".Build.cs")):
        problems.append(f"no Source/{name}/{name}.Build.cs for the module {name}")
for key in ("Description", "Category"):
    if not isinstance(d.get(key), str) or not d[key]:
        problems.append(f"{key} missing")
if not isinstance(d.get("Version"), int):
    problems.append("Version is not a number")
print("\n".join(problems), file=sys.stderr)
sys.exit(1 if problems else 0)
PY
echo "ok: $(basename "$zip_file"), $(echo "$actual" | wc -l) files"
