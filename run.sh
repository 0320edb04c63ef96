#!/usr/bin/env bash
# Builds KOVEX Light and opens a file in it: ./run.sh [FILE] [more arguments]
# Without a FILE the bundled assembler sample is opened.
set -euo pipefail

# Files are named relative to where the user stands, so stay there and address
# the project by its full path.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$root/build" -j "$(nproc)"

args=("$@")
if ((${#args[@]} == 0)); then
    args=("$root/samples/hello.asm")
fi

exec "$root/build/app/kovex" "${args[@]}"
