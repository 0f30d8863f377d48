#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Quorvalis need.
# Quick when everything is already there: apt is only called for what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev            # libFuzzer for the formula-text fuzz target
  libfreetype-dev libfontconfig1-dev fonts-urw-base35  # text: Nimbus Roman for Times, Standard Symbols PS for Symbol
  libpng-dev zlib1g-dev               # pictures and PNG export
  libcurl4-openssl-dev                # HTTP of the remote integration client
  libegl-dev libgl-dev                # EGL and GL headers, libEGL (GL entry points are looked up at run time)
  libglu1-mesa-dev                    # GLU for the 3D camera (gluLookAt, gluPerspective)
  libegl-mesa0 libgl1-mesa-dri        # Mesa's EGL and its software renderer: headless GL contexts
  libmuparser-dev                     # benchmark comparison only
  locales                             # a comma-separator locale for the number-text tests
  libsdl2-dev                         # the document window
  xvfb libx11-dev libxtst-dev         # the window on X11; window tests: a virtual X server, XTest keys and clicks
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# A comma-separator locale, so tests can prove number text never follows LC_NUMERIC.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $sudo sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi
