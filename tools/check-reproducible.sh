#!/bin/sh
# Builds what is released (KorvSchd.exe, korvctl.exe, the installer and its
# SHA256SUMS) twice from two copies of this tree, in folders whose names
# differ in length, and fails unless every file is the same byte for byte.
# The first copy is configured as the preset stands, the second without the
# tests (BUILD_TESTING=OFF): the release must not depend on either.
# Usage: tools/check-reproducible.sh [PRESET...] (mingw and mingw64 by default)
set -e
cd "$(dirname "$0")/.."
presets=${*:-mingw mingw64}
work=$(mktemp -d "${TMPDIR:-/tmp}/korv-repro.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
trees="a copy-in-a-longer-folder"
for tree in $trees; do
  mkdir -p "$work/$tree"
  git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -C "$work/$tree" -xf -
done

start=$(date +%s)
failed=0
for preset in $presets; do
  testing=ON
  for tree in $trees; do
    (cd "$work/$tree" &&
      cmake --preset "$preset" -DBUILD_TESTING=$testing >/dev/null &&
      cmake --build --preset "$preset" --target KorvSchd korvctl installer >/dev/null) ||
      { echo "$preset: the build in $work/$tree failed" >&2; exit 1; }
    testing=OFF
  done
  first=$work/a/build/$preset/bin
  second=$work/copy-in-a-longer-folder/build/$preset/bin
  setup=$(cd "$first" && ls KorvSchd-*-setup.exe)
  for name in KorvSchd.exe korvctl.exe "$setup" SHA256SUMS; do
    if [ ! -f "$first/$name" ] || [ ! -f "$second/$name" ]; then
      failed=1
      echo "$preset $name: MISSING"
      continue
    fi
    hash=$(sha256sum "$first/$name" | cut -d" " -f1)
    if cmp -s "$first/$name" "$second/$name"; then
      echo "$preset $name: same, $hash"
    else
      failed=1
      echo "$preset $name: DIFFERS, $hash vs $(sha256sum "$second/$name" | cut -d" " -f1)," \
        "$(cmp -l "$first/$name" "$second/$name" 2>/dev/null | wc -l) bytes differ" \
        "(sizes $(stat -c %s "$first/$name") and $(stat -c %s "$second/$name")); first offsets:"
      cmp -l "$first/$name" "$second/$name" 2>/dev/null | head -8 | sed 's/^/    /'
    fi
  done
done
echo "Two builds of $presets: $(($(date +%s) - start)) s"
exit $failed
