#!/usr/bin/env bash
# Zips what a Windows user gets, from one Windows build:
#   out/Karvel-<version>-Win64.zip: the engine plugin as it drops into a
#     project's Plugins/ folder: Karvel/Karvel.uplugin, the two modules
#     Karvel/Source/Karvel/... and Karvel/Source/KarvelSeatCore/...,
#     Karvel/Binaries/ThirdParty/Win64/Karvel.dll with its guard
#     karvel-guard.exe beside it, Karvel/README.md and the user's guides in
#     Karvel/docs/ (all but the developer's guide);
#   out/Karvel-tools-<version>-Win64.zip: the Windows tools, Karvel-tools/
#     with the programs, Karvel.dll beside them and README.txt (the build's
#     tools-win64/ folder, staged by CMake: a program is added to it where it is
#     built, with karvel_windows_tool()).
# The same build gives the same bytes.
#
#   scripts/package.sh [--build DIR] [--out DIR]
#
# --build takes a Windows build made before (cmake --preset windows). Without
# it the script cross-builds the library and the tools with the windows
# preset's toolchain in build-package/ (no tests, so no wine is needed).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="" out="$root/out"
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "usage: $0 [--build DIR] [--out DIR]" >&2; exit 2 ;;
  esac
done

# The plugin's version and the library's must agree: the zips carry both.
version=$(sed -n 's/^[[:space:]]*"VersionName":[[:space:]]*"\([^"]*\)".*/\1/p' "$root/Karvel.uplugin")
library_version=$(sed -n 's/^project(Karvel VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
if [ -z "$version" ] || [ "$version" != "$library_version" ]; then
  echo "Karvel.uplugin VersionName ($version) differs from the library version ($library_version)" >&2
  exit 1
fi

if [ -z "$build" ]; then
  build="$root/build-package"
  cmake --preset windows -B "$build" -DKARVEL_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" --target Karvel karvel_tools_stage -j2
fi
dll="$build/library/Karvel.dll" tools="$build/tools-win64"
guard="$tools/karvel-guard.exe" # as staged for the tools zip
for needed in "$dll" "$guard" "$tools/README.txt"; do
  [ -f "$needed" ] || { echo "no $needed: build the windows preset first" >&2; exit 1; }
done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$out"

# Zips the folder $1 of the stage as $2: fixed times, modes and order; no owner or time extras.
zip_folder() {
  find "$stage/$1" -type d -exec chmod 755 {} +
  find "$stage/$1" -type f -exec chmod 644 {} +
  find "$stage/$1" -exec touch -h -d '2000-01-01 00:00:00 UTC' {} +
  rm -f "$2"
  (cd "$stage" && find "$1" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D -9 "$2" -@)
  echo "$2"
}

plugin="$stage/Karvel"
mkdir -p "$plugin/Binaries/ThirdParty/Win64"
cp "$root/Karvel.uplugin" "$plugin/"
cp "$root/README.md" "$plugin/"
# The user's guides the README links to; the developer's guide stays in the repository.
(cd "$root" && find docs -type f ! -name developer-guide.md -print0 | xargs -0 cp --parents -t "$plugin")
cp "$dll" "$plugin/Binaries/ThirdParty/Win64/Karvel.dll"
cp "$guard" "$plugin/Binaries/ThirdParty/Win64/karvel-guard.exe"
# The modules' sources only: the engine builds them, and generates their reflection code itself.
(cd "$root" && find Source -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.Build.cs' \) -print0 |
  xargs -0 cp --parents -t "$plugin")
zip_folder Karvel "$out/Karvel-$version-Win64.zip"

cp -r "$tools" "$stage/Karvel-tools"
zip_folder Karvel-tools "$out/Karvel-tools-$version-Win64.zip"
