#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need, when any is missing.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config g++ clang libclang-rt-14-dev
          libgtest-dev libgmock-dev libbenchmark-dev libsndfile1-dev libcairo2-dev libx11-dev libpng-dev
          zlib1g-dev libfftw3-dev xvfb xauth xdotool dragonfly-reverb-vst
          lv2-dev sordi liblilv-dev jalv jackd2 libjack-jackd2-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
