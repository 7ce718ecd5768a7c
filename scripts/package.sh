#!/usr/bin/env bash
# Assembles the engine plugin as a user drops it into a project's Plugins/
# folder and zips it: Karvel/Karvel.uplugin, the two modules Karvel/Source/Karvel/...
# and Karvel/Source/KarvelSeatCore/...,
# Karvel/Binaries/ThirdParty/Win64/Karvel.dll, Karvel/README.md and the user's
# guides in Karvel/docs/ (all but the developer's guide), as
# out/Karvel-<version>-Win64.zip. The same inputs give the same bytes.
#
#   scripts/package.sh [--dll PATH] [--out DIR]
#
# Without --dll it cross-builds Karvel.dll with the windows preset's toolchain
# in build-package/ (no tests, so no wine is needed).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dll="" out="$root/out"
while [ $# -gt 0 ]; do
  case "$1" in
    --dll) dll=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "usage: $0 [--dll PATH] [--out DIR]" >&2; exit 2 ;;
  esac
done

# The plugin's version and the library's must agree: the zip carries both.
version=$(sed -n 's/^[[:space:]]*"VersionName":[[:space:]]*"\([^"]*\)".*/\1/p' "$root/Karvel.uplugin")
library_version=$(sed -n 's/^project(Karvel VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
if [ -z "$version" ] || [ "$version" != "$library_version" ]; then
  echo "Karvel.uplugin VersionName ($version) differs from the library version ($library_version)" >&2
  exit 1
fi

if [ -z "$dll" ]; then
  cmake --preset windows -B "$root/build-package" -DKARVEL_BUILD_TESTS=OFF >/dev/null
  cmake --build "$root/build-package" --target Karvel -j2
  dll="$root/build-package/library/Karvel.dll"
fi
if [ ! -f "$dll" ]; then
  echo "no Karvel.dll at $dll" >&2
  exit 1
fi

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
plugin="$stage/Karvel"
mkdir -p "$plugin/Binaries/ThirdParty/Win64"
cp "$root/Karvel.uplugin" "$plugin/"
cp "$root/README.md" "$plugin/"
# The user's guides the README links to; the developer's guide stays in the repository.
(cd "$root" && find docs -type f ! -name developer-guide.md -print0 | xargs -0 cp --parents -t "$plugin")
cp "$dll" "$plugin/Binaries/ThirdParty/Win64/Karvel.dll"
# The modules' sources only: the engine builds them, and generates their reflection code itself.
(cd "$root" && find Source -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.Build.cs' \) -print0 |
  xargs -0 cp --parents -t "$plugin")

# Fixed times, modes and order; no owner or time extras.
find "$plugin" -type d -exec chmod 755 {} +
find "$plugin" -type f -exec chmod 644 {} +
find "$plugin" -exec touch -h -d '2000-01-01 00:00:00 UTC' {} +
mkdir -p "$out"
zip_file="$out/Karvel-$version-Win64.zip"
rm -f "$zip_file"
(cd "$stage" && find Karvel -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D -9 "$zip_file" -@)
echo "$zip_file"
