#!/usr/bin/env bash
# `make render`: the default sea in "Realistic" at 1280x720, written to ocean.png in the current
# directory (the repository root under make).
set -euo pipefail
bin="$1"
"$bin/seavast" about
"$bin/seavast" render -o ocean.png --size 1280x720 --time 0 --mode "Realistic"
echo "seavast: wrote ocean.png"
