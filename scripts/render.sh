#!/usr/bin/env bash
# `make render`: what the command-line host can show today.
set -euo pipefail
bin="$1"
"$bin/seavast" about
"$bin/seavast" params
echo "seavast: rendering is not available yet; ocean.png was not written."
