#!/usr/bin/env bash
# The Windows build checked by running it: seavast.exe drives Seavast.dll under Wine (headless, a
# private prefix beside the build) and its answers are compared with the Linux build's.
#
#   scripts/windows_check.sh WINDOWS_BIN LINUX_BIN
#
# Renders must match the Linux render of the same frame within one 8-bit level per channel, where
# the two compilers' maths libraries may round differently; differing pixels are counted and shown.
set -uo pipefail

win="$(cd "$1" && pwd)"
lin="$(cd "$2" && pwd)"
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$(dirname "$win")/check"
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

wine=""
for w in /usr/lib/wine/wine64 wine64 wine; do
  if command -v "$w" >/dev/null; then wine="$w"; break; fi
done
[ -n "$wine" ] || { echo "windows check: wine64 is not installed"; exit 1; }
export WINEPREFIX="$(dirname "$win")/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "windows check: creating the Wine prefix $WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1 || { echo "windows check: wineboot failed"; exit 1; }
fi

failed=0
pass() { echo "ok      $1"; }
fail() { echo "FAILED  $1"; failed=$((failed + 1)); }
# Windows programs end lines with CR LF on their standard streams.
winexe() { "$wine" "$win/seavast.exe" "$@" 2>win.err | tr -d '\r'; }
linexe() { "$lin/seavast" "$@" 2>lin.err; }
same() { # name, file a, file b
  if cmp -s "$2" "$3"; then pass "$1"; else fail "$1"; diff "$2" "$3" | head -20; fi
}

# The DLL exports PluginEntry and nothing else.
x86_64-w64-mingw32-objdump -p "$win/Seavast.dll" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' >exports.txt
echo PluginEntry >exports.want
same "Seavast.dll exports PluginEntry only" exports.want exports.txt

# The property resource as the host reads it from the DLL, against the published table.
winexe properties >properties.txt
same "property resource read from Seavast.dll" "$root/tests/host/data/pipl_properties.txt" properties.txt

# A DLL without the resource is refused, with the reason.
if winexe --plugin "$win/SeavastWithoutPiPL.dll" about >/dev/null; then
  fail "a DLL without the property resource is refused"
elif grep -q "has no plug-in property resource" win.err; then
  pass "a DLL without the property resource is refused: $(tr -d '\r' <win.err)"
else
  fail "a DLL without the property resource is refused (other reason: $(tr -d '\r' <win.err))"
fi

winexe about >about.win && linexe about >about.lin
same "about" about.lin about.win
winexe params --format tsv >params.win && linexe params --format tsv >params.lin
same "params --format tsv" params.lin params.win

# A preset written by the Windows host, read by the Linux host.
sets=(--set "Wind Speed (M/S)=7.123456" --set "Time Stretch=0.5" --set "Render Mode:=Grayscale [No Icons]")
winexe preset save win.wvp "${sets[@]}" >/dev/null && linexe preset save lin.wvp "${sets[@]}" >/dev/null
same "preset saved by the Windows host (bytes)" lin.wvp win.wvp
linexe preset show win.wvp >show.win && linexe preset show lin.wvp >show.lin
same "preset saved by the Windows host, read by the Linux host" show.lin show.win

# Names outside the ANSI code page, in folders and files, on the way in and out.
mkdir -p "Hafen Ωκεανός"
winexe preset save "Hafen Ωκεανός/Ruhe 凪.wvp" "${sets[@]}" >/dev/null
same "preset with a Unicode name" lin.wvp "Hafen Ωκεανός/Ruhe 凪.wvp"
winexe render -q -o "Hafen Ωκεανός/Meer 海.png" --size 32x18 --preset "Hafen Ωκεανός/Ruhe 凪.wvp" >/dev/null
if [ -s "Hafen Ωκεανός/Meer 海.png" ]; then pass "render read and wrote Unicode names"; else fail "render read and wrote Unicode names"; fi

# Per pixel: count of pixels that differ, and the largest difference of any channel.
pixel_diff() {
  paste -d' ' <(convert "$1" -depth 8 txt:- | sed -n 's/^[^(]*(\([^)]*\)).*/\1/p') \
              <(convert "$2" -depth 8 txt:- | sed -n 's/^[^(]*(\([^)]*\)).*/\1/p') |
    tr ',' ' ' | awk '{ n = NF / 2; d = 0; for (i = 1; i <= n; i++) { e = $i - $(i + n); if (e < 0) e = -e; if (e > d) d = e }
                        if (d > 0) c++; if (d > m) m = d } END { printf "%d %d %d\n", NR, c + 0, m + 0 }'
}
# The default sea in each mode, then a rougher sea later on (both swells, wind 12 m/s, 7.25 s).
rough=(--set "Enable:=Both" --set "Wind Speed (M/S)=12" --time 7.25)
for run in "Grayscale [No Icons]|" "Grayscale [Icons]|" "Realistic|" "Grayscale [No Icons]|rough"; do
  mode="${run%|*}"
  extra=(--time 0)
  [ "${run#*|}" = rough ] && extra=("${rough[@]}")
  file="$(echo "$run" | tr -cd 'A-Za-z').png"
  if ! linexe render -q -o "lin$file" --size 320x180 --mode "$mode" "${extra[@]}" >/dev/null; then
    echo "skip    render \"$mode\": the Linux host cannot draw it ($(head -1 lin.err))"
    continue
  fi
  winexe render -q -o "win$file" --size 320x180 --mode "$mode" "${extra[@]}" >/dev/null
  read -r total differ worst < <(pixel_diff "lin$file" "win$file")
  what="render \"$mode\" ${extra[*]} 320x180: $differ of $total pixels differ, by at most $worst"
  if [ "$total" -eq $((320 * 180)) ] && [ "$worst" -le 1 ]; then
    pass "$what"
  elif [ "$total" -eq $((320 * 180)) ] && [ "$mode" = Realistic ] && [ $((differ * 200)) -le "$total" ]; then
    # The Linux build transforms with FFTW, the Windows build with the built-in transform: heights
    # agree to float rounding, which sun glitter on a crest can lift by a few levels in a few pixels.
    pass "$what (at most 0.5% may differ: the two builds use different spectral transforms)"
  else
    fail "$what"
  fi
done

if [ "$failed" -ne 0 ]; then
  echo "windows check: $failed failed (work files in $work)"
  exit 1
fi
echo "windows check: all passed"
