#!/usr/bin/env bash
# `make render`: the default parameters drawn as the top view with markers ("Grayscale [Icons]"),
# written to ocean.png in the current directory (the repository root under make). The default
# "Render Mode:" needs the scene renderer, so the mode is chosen here.
set -euo pipefail
bin="$1"
"$bin/seavast" about
"$bin/seavast" render -o ocean.png --size 640x360 --time 0 --mode "Grayscale [Icons]"
echo "seavast: wrote ocean.png"
