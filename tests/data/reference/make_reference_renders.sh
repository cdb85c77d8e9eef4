#!/usr/bin/env bash
# Regenerates the reference renders from the current build. Run only on purpose, and say why in the
# commit: the tests compare every later build against these files.
#   tests/data/reference/make_reference_renders.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
build="${1:-$root/build}"
python3 "$root/tools/make_reference_input.py" "$here/input-mono-44100.wav" 44100 0.4 1
python3 "$root/tools/make_reference_input.py" "$here/input-mono-96000.wav" 96000 0.4 1
python3 "$root/tools/make_reference_input.py" "$here/input-stereo-44100.wav" 44100 0.4 2
grep -v '^#' "$here/cases.txt" | while read -r name plugin input options; do
  [ -n "$name" ] || continue
  case "$plugin" in
    fullstack) so="$build/Tavik_FullStack_v1_04.so" ;;
    preamp) so="$build/Tavik_PreAmp_v2.so" ;;
  esac
  # shellcheck disable=SC2086
  "$build/vsthost" render "$so" "$here/$input" "$here/$name.wav" --quiet $options
done
echo "reference renders written to $here"
