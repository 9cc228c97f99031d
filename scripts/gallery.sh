#!/usr/bin/env bash
# Renders the gallery in docs/gallery: every render mode of the default sea, and a few situations
# worth looking at after a change (a low sun with glitter, haze, a rainbow, an eye under water).
# Usage: scripts/gallery.sh [BIN_DIR]   (default build/release/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${1:-build/release/bin}"
out=docs/gallery
mkdir -p "$out"
size=480x270
render() { # NAME ARGS...
    local name="$1"
    shift
    "$bin/seavast" render -q -o "$out/$name.png" --size "$size" --time 0 "$@"
    printf 'seavast render -o %s --size %s --time 0' "$out/$name.png" "$size"
    printf ' %q' "$@"
    printf '\n'
}
{
    echo "# Gallery"
    echo
    echo "Made by \`scripts/gallery.sh\`; each picture with the exact command that drew it."
    echo
    echo '```'
    render grayscale-icons --mode "Grayscale [Icons]"
    render grayscale-no-icons --mode "Grayscale [No Icons]"
    render wireframe --mode "Wireframe"
    render texture --mode "Texture [No Geometry]"
    render light-tracking --mode "Light Tracking"
    render realistic --mode "Realistic"
    render too-realistic --mode "Too Realistic [RTM]"
    render depth-map --mode "Depth Map" --set "Render Options/Color Max Scale=300"
    render low-sun-glitter --mode "Too Realistic [RTM]" --set "Light 1/Light Elevation=86" \
        --set "Primary Waves/Wind Speed (M/S)=9"
    render haze --mode "Realistic" --set "Air Optics/Haze On=on" --set "Air Optics/Haze Visibilty (KM)=8"
    render rainbow --mode "Realistic" --set "Air Optics/Haze On=on" --set "Air Optics/Rainbow Style=2" \
        --set "Light 1/Light Elevation=75" --set "Light 1/Light Azimuth=180" --set "Camera/Tilt=75"
    render under-water --mode "Too Realistic [RTM]" --set "Camera/Elevation (M)=-5" --set "Camera/Tilt=10" \
        --set "Camera/Field Of View=90" --set "Primary Waves/Wind Speed (M/S)=2" --set "Light 1/Light Elevation=30"
    echo '```'
} > "$out/README.md.tmp"
mv "$out/README.md.tmp" "$out/README.md"
