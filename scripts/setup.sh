#!/usr/bin/env bash
# Installs what the project needs, then configures and builds it.
#   scripts/setup.sh [release|asan|tsan]
# The build goes to build/ (release), build-asan/ or build-tsan/.
set -euo pipefail
cd "$(dirname "$0")/.."

flavour="${1:-release}"
case "$flavour" in
  release) dir=build; opts=() ;;
  # The sanitizer builds serve the tests; benchmarks measure the release build.
  # A Debug build (optimised a little for speed) keeps Eigen's and Qt's
  # assertions on, so the sanitizer suite sees them too.
  asan) dir=build-asan; opts=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g" -DSTRIDELOOM_ASAN=ON -DSTRIDELOOM_BUILD_BENCH=OFF) ;;
  tsan) dir=build-tsan; opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTRIDELOOM_TSAN=ON -DSTRIDELOOM_BUILD_BENCH=OFF) ;;
  *) echo "usage: $0 [release|asan|tsan]" >&2; exit 2 ;;
esac

bash scripts/install-deps.sh
cmake -S . -B "$dir" -G Ninja "${opts[@]}"
cmake --build "$dir" -j"$(nproc)"
echo "Built into $dir/"
