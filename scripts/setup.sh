#!/usr/bin/env bash
# Installs the Debian packages the build, tests and tools need, only those that are missing.
# Idempotent: a second run installs nothing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config make git
  libfftw3-dev            # spectral transforms (single precision)
  libgtest-dev libgmock-dev googletest
  libbenchmark-dev
  libopenimageio-dev openimageio-tools   # image files of the command-line host
  libpng-dev              # PNG files of the command-line host, without the general image library
  libcli11-dev            # command-line options
  imagemagick             # independent reader of our SGI files in tests
  clang libclang-rt-14-dev  # fuzz targets
  frei0r-plugins-dev ffmpeg melt  # the frei0r plug-in and the real hosts its tests run
  g++-mingw-w64-x86-64-posix wine64 libstb-dev  # the Windows plug-in, cross-built and run under Wine
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
