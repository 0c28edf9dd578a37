#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Wine's 32-bit half (wine32, of the i386 architecture) runs the 32-bit
# program of the end-to-end tests, which asks what 32-bit programs see of
# the file types; the i386 architecture is added first where it is missing.
set -euo pipefail
packages=(cmake make g++ libgtest-dev googletest libbenchmark-dev mingw-w64 g++-mingw-w64-i686-posix
          wine wine64 wine32:i386 xvfb openbox xdotool x11-utils imagemagick zip python3 librsvg2-bin
          osslsigncode openssl wixl msitools faketime)
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
update_needed=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "Adding the i386 architecture (for wine32)"
  $sudo_cmd dpkg --add-architecture i386
  update_needed=1
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  update_needed=1
fi
if [ "$update_needed" = 1 ]; then
  $sudo_cmd apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi
