#!/usr/bin/env bash
# Builds Strideloom (installing what is missing) and starts it with three
# simulated serial sensors and one simulated USB receiver relaying a suit of
# 17 nodes (the receiver simulator is preloaded in place of libusb, so the
# program's USB code runs unchanged). With a display the program opens for you: press
# "Find devices" ("查找设备") to find the sensors. Without one it runs under Xvfb, walks
# through the program and saves screenshots into a folder it prints.
#   scripts/run.sh [en|zh_CN]   the interface language (default: the system's;
#                               the screenshots: English)
set -euo pipefail
cd "$(dirname "$0")/.."
lang="${1:-}"
case "$lang" in ""|en|zh_CN) ;; *) echo "usage: $0 [en|zh_CN]" >&2; exit 2 ;; esac
bash scripts/setup.sh release
bin="$PWD/build/bin"

work="${STRIDELOOM_WORKDIR:-/tmp/strideloom-demo}"
rm -rf "$work"
mkdir -p "$work/ports"
cp -r Resources "$work/"

"$bin/sensorsim" --link-dir "$work/ports" \
  --device 20230001:115200:100 --device 20230002:460800:100 --device 20230003:1500000:100 > "$work/sensorsim.log" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do grep -q ready "$work/sensorsim.log" 2>/dev/null && break; sleep 0.1; done
ports=$(ls "$work"/ports/* | paste -sd';' -)

# The option file names the simulator's ports as extra ports.
sed -i "s#<OpConf name=\"extraports\" value=\"[^\"]*\"/>#<OpConf name=\"extraports\" value=\"$ports\"/>#" "$work/Resources/config.xml"
[ -z "$lang" ] || sed -i "s#<OpConf name=\"language\" value=\"[^\"]*\"/>#<OpConf name=\"language\" value=\"$lang\"/>#" "$work/Resources/config.xml"
cd "$work"
export LD_PRELOAD="$bin/libusbsim.so${LD_PRELOAD:+:$LD_PRELOAD}"
export USBSIM_SCENARIO="${USBSIM_SCENARIO:-router:suit=0x1234,nodes=17,hz=60,walk=1}"
if [ -n "${DISPLAY:-}" ]; then
  "$bin/Strideloom"
else
  shots="$work/shots"
  xvfb-run -a -s "-screen 0 1400x900x24" "$bin/strideloom-tour" "$shots" "${lang:-en}"
  echo "Screenshots in $shots:"
  ls -l "$shots"
fi
