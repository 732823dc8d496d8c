#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UBSan) into
# build-fuzz/ and runs each for SECONDS (default 60). Prints the executions
# of each run; a finding leaves its input in build-fuzz/artifacts/ and makes
# the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
bash scripts/install-deps.sh
if ! command -v clang++ >/dev/null || [ ! -e /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a ]; then
  sudo_cmd=""; [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get install -y --no-install-recommends clang libclang-rt-14-dev
fi
build="$PWD/build-fuzz"
CXX=clang++ CC=clang cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTRIDELOOM_FUZZ=ON \
  -DSTRIDELOOM_BUILD_TESTS=OFF -DSTRIDELOOM_BUILD_BENCH=OFF >/dev/null
targets="fuzz_serialstream fuzz_usbanswer fuzz_recording fuzz_xmlfiles fuzz_streampayload"
cmake --build "$build" -j2 --target $targets

# Seeds: one valid input of each kind.
seeds="$build/seeds"
mkdir -p "$seeds"/{fuzz_serialstream,fuzz_usbanswer,fuzz_recording,fuzz_xmlfiles,fuzz_streampayload} "$build/artifacts"
python3 - "$seeds" <<'PY'
import struct, sys
seeds = sys.argv[1]
def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc
body = bytes([0x01, 0x4C, 0, 0, 0, 0]) + b"".join(struct.pack("<i", v * 65536) for v in range(17))
payload = body + struct.pack("<H", crc16(body))
frame = b"\xA5\x5A" + payload + b"\xE4\xAA"
open(f"{seeds}/fuzz_serialstream/sensor", "wb").write(frame * 3)
flags = 0x3DBD
usb = bytes([0x01, 0, 0]) + struct.pack("<IH", 0x123405, flags) + struct.pack("<4i", 1 << 30, 0, 0, 0)
usb += struct.pack("<15i", *range(15)) + bytes([80])
open(f"{seeds}/fuzz_usbanswer/long", "wb").write(usb)
open(f"{seeds}/fuzz_recording/file", "w").write("305419896/,/NaN/1/1/1/1/1/1/1/1/0/0/0/0\n"
    "2026-12-09 07:00:00.000,1,0.1,0.2,0.9,1,2,3,20,-5,40,1,0,0,0,0,0,0,\n")
frame = ('{"key":"4242","kind":"usb","station":"st","seq":17,"t_mono_ms":812345.125,"t_wall_ms":1718000000123,'
         '"accel":[0.1,0.2,0.9],"gyro":[1,2,3],"mag":[20,-5,40],"quat":[1,0,0,0],"euler":[0,0,null],'
         '"location":[1,2,3],"battery":87}')
open(f"{seeds}/fuzz_streampayload/frame", "wb").write(b"\x00" + frame.encode())
open(f"{seeds}/fuzz_streampayload/info", "wb").write(b"\x01" + b'{"key":"4242","kind":"usb","name":"102Hips","suit":"0x66","node":"Hips"}')
open(f"{seeds}/fuzz_streampayload/status", "wb").write(b"\x02online")
PY
cp Resources/config.xml "$seeds/fuzz_xmlfiles/config.xml"
cp Resources/stdBipedModel.mcc "$seeds/fuzz_xmlfiles/model.mcc"

status=0
for t in $targets; do
  corpus="$build/corpus/$t"
  mkdir -p "$corpus"
  log="$build/$t.log"
  if (cd "$build" && "$build/bin/$t" -max_total_time="$seconds" -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$t-" "$corpus" "$seeds/$t" >"$log" 2>&1); then
    runs=$(grep -m1 -o 'Done [0-9]* runs in [0-9]* second' "$log" || true)
    echo "$t: ${runs:-finished}, no finding"
  else
    echo "$t: FINDING, see $log and $build/artifacts/"
    status=1
  fi
done
exit $status
