#!/bin/sh
# Builds both configurations and runs every test: the Windows program and its
# tests under Wine, the platform-free code natively with sanitizers, fuzzers
# and the protocol model.
set -e
cd "$(dirname "$0")/.."
./tools/install-deps.sh
status=0
export KORV_REQUIRE_INSTALLER=1
for preset in mingw native; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  [ "$preset" != mingw ] || cmake --build --preset mingw --target installer
  ctest --preset "$preset" || status=1
done
exit $status
