#!/usr/bin/env bash
# Builds KOVEX Light with warnings as errors and runs every test.
# The exit status is CTest's.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$root"

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKVX_WERROR=ON
cmake --build build -j "$(nproc)"

status=0
ctest --test-dir build --output-on-failure -j2 || status=$?
exit "$status"
