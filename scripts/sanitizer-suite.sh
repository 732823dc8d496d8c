#!/usr/bin/env bash
# The libraries' tests and the program's thread-heavy tests under a
# sanitizer, building only what they need (CI runs this for both).
#   scripts/sanitizer-suite.sh asan|tsan
# scripts/test.sh asan|tsan runs the whole suite instead.
set -euo pipefail
cd "$(dirname "$0")/.."

flavour="${1:?usage: $0 asan|tsan}"
case "$flavour" in
  asan) dir=build-asan; opt=-DSTRIDELOOM_ASAN=ON ;;
  tsan) dir=build-tsan; opt=-DSTRIDELOOM_TSAN=ON ;;
  *) echo "usage: $0 asan|tsan" >&2; exit 2 ;;
esac
tests=(
  tst_serialframecodec tst_serialringbuffer tst_commandcodec tst_pendingcommandlist tst_devicemanager
  tst_sldevice tst_discovery
  tst_usbwireformat tst_motioncapturesuit tst_kvusb
  tst_plotdata tst_plotwidget tst_ckvmagcali
  tst_magcalibrator tst_recorder tst_dockdevicelist tst_strideloom tst_usbnodes
)
bash scripts/install-deps.sh
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$opt" -DSTRIDELOOM_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" -j"$(nproc)" --target "${tests[@]}" sensorsim
regex="^($(IFS='|'; echo "${tests[*]}"))\$"
xvfb-run -a -s "-screen 0 1600x1000x24" ctest --test-dir "$dir" --output-on-failure -j2 -R "$regex"
