#!/usr/bin/env bash
# Lines of tests against lines of product code (wc -l over every file), and their ratio.
# Usage: scripts/test-ratio.sh [max-ratio]; with a limit, exits 1 when the ratio is above it.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { find "$@" -type f -print0 2>/dev/null | xargs -0 -r cat | wc -l; }
product=$(count sdk platform host ocean render optics ui resources hostkit apps frei0r)
tests=$(count tests)
ratio=$(awk -v t="$tests" -v p="$product" 'BEGIN { printf "%.3f", (p > 0 ? t / p : 0) }')
echo "product lines: $product"
echo "test lines:    $tests"
echo "ratio:         $ratio"
if [ $# -ge 1 ]; then
    awk -v r="$ratio" -v m="$1" 'BEGIN { exit !(r <= m) }' || { echo "ratio above $1" >&2; exit 1; }
fi
