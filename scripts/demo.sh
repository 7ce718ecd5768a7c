#!/usr/bin/env bash
# Installs what is needed, builds the library and drives a seat with it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target Karvel karvel-example-host
./build/tools/example-host/karvel-example-host ./build/library/libKarvel.so
