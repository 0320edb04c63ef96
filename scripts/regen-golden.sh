#!/usr/bin/env bash
# Writes the expected token files of the language samples in tests/highlight/golden: for
# every sample FILE, FILE.tokens holds what `kvx tokens FILE` prints (the language comes from
# the file's extension). Run it after changing a language script on purpose, then read the
# data diff before committing it: every changed line is a row that highlights differently.
#
#   scripts/regen-golden.sh [KVX]      (KVX defaults to build/tools/kvx)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
kvx=${1:-$root/build/tools/kvx}
if [[ ! -x $kvx ]]; then
    echo "regen-golden: $kvx is not an executable kvx; build first or pass its path" >&2
    exit 1
fi

count=0
for sample in "$root"/tests/highlight/golden/*; do
    [[ -f $sample && $sample != *.tokens ]] || continue
    "$kvx" tokens "$sample" > "$sample.tokens.new"
    mv "$sample.tokens.new" "$sample.tokens"
    count=$((count + 1))
done
echo "regen-golden: wrote $count token files"
