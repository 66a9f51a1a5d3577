#!/bin/sh
# Installs what building and testing need on Debian 12 (idempotent, as root or
# through sudo): the MinGW-w64 cross compilers (32- and 64-bit), Wine (both
# loaders: the machine may run only the 64-bit one), Xvfb, clang, spin, and
# librsvg2-bin and icoutils, which make the icons from their drawings.
set -e
SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
packages="cmake g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xauth x11-utils clang libclang-rt-14-dev googletest spin python3 x11-apps imagemagick xdotool nsis locales librsvg2-bin icoutils"
missing=
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
if [ -n "$missing" ]; then
  $SUDO dpkg --add-architecture i386
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
# French day and month names for the demonstration and the tests that need them.
if ! locale -a 2>/dev/null | grep -qi '^fr_FR.utf8$'; then
  $SUDO sed -i 's/^# *fr_FR.UTF-8 UTF-8/fr_FR.UTF-8 UTF-8/' /etc/locale.gen
  $SUDO locale-gen >/dev/null
fi
