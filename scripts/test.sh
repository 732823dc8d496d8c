#!/usr/bin/env bash
# Builds (installing what is missing) and runs the whole test suite.
#   scripts/test.sh [release|asan|tsan]
set -euo pipefail
cd "$(dirname "$0")/.."

flavour="${1:-release}"
bash scripts/setup.sh "$flavour"
case "$flavour" in
  release) dir=build ;;
  asan) dir=build-asan ;;
  tsan) dir=build-tsan ;;
esac
# Widgets and OpenGL views need a display; a virtual one serves everywhere.
xvfb-run -a -s "-screen 0 1600x1000x24" ctest --test-dir "$dir" --output-on-failure -j2
