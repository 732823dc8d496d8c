#!/usr/bin/env bash
# Runs every benchmark and prints one table, each figure beside its in-run
# reference. Logs of the single runs go to build/bench-logs/.
#   bench/report.sh [--quick | --table-only]
#   (--quick: shorter runs; --table-only: the table of the last run's logs)
set -euo pipefail
cd "$(dirname "$0")/.."
quick=0; run=1
[ "${1:-}" = "--quick" ] && quick=1
[ "${1:-}" = "--table-only" ] && run=0
bin="$PWD/build/bin"
logs="$PWD/build/bench-logs"
mkdir -p "$logs"
xvfb() { xvfb-run -a -s "-screen 0 1600x1000x24" "$@"; }
seconds=10; lines=1000000
[ $quick = 1 ] && { seconds=3; lines=200000; }

if [ $run = 1 ]; then
bash scripts/setup.sh release >/dev/null
echo "running benchmarks (logs in $logs) ..." >&2
"$bin/bench_framereader" > "$logs/framereader.txt"
"$bin/bench_serialstream" "$seconds" 1 8 32 > "$logs/serialstream.txt" 2>/dev/null
"$bin/bench_usbstream" "$seconds" 4 2> "$logs/usbstream.txt" >/dev/null || true
QT_QPA_PLATFORM=offscreen "$bin/bench_plot" > "$logs/plot.txt" 2>/dev/null
"$bin/bench_magcalibration" > "$logs/magcalibration.txt" 2>/dev/null
(cd "$logs" && "$bin/bench_recording" "$lines" > "$logs/recording.txt" 2>/dev/null)
xvfb "$bin/bench_program" "$seconds" 8 2>/dev/null | grep -E "^(start-up|[0-9]+ devices)" > "$logs/program.txt"
fi

# field LOG REGEX: the first match of an extended regex's group 1.
field() { sed -nE "s#$2#\1#p" "$logs/$1" | head -n1; }
serial() { grep -E "^ *$1 devices" "$logs/serialstream.txt" | sed -nE 's#.*sent +([0-9]+), received +([0-9]+), lost ([0-9-]+).*steady ([0-9]+) frames/s, CPU ([0-9.]+)%.*#lost \3 of \1, \4 frames/s|CPU \5 % of one core#p'; }
magcase() { awk -v c="$1" '$0 ~ "^\\(" c "\\)" {on=1; next} /^\(/ {on=0} on' "$logs/magcalibration.txt"; }

decode_ns=$(field framereader.txt 'append\+take\+decode: +([0-9.]+) ns/frame.*')
decode_m=$(field framereader.txt '.*ns/frame, ([0-9.]+) million frames/s')
copy_ns=$(field framereader.txt 'memcpy of the same bytes: ([0-9.]+) ns/frame.*')
usb_sent=$(field usbstream.txt ' *frames sent +([0-9]+).*')
usb_rate=$(field usbstream.txt '.*\(([0-9]+)/s in the window\)')
usb_suits=$(field usbstream.txt ' *into the suits +[0-9]+ \(lost ([0-9-]+)\)')
usb_main=$(field usbstream.txt ' *into main thread +[0-9]+ \(([0-9]+)/s, lost ([0-9-]+)\)')
usb_main_lost=$(field usbstream.txt ' *into main thread +[0-9]+ \([0-9]+/s, lost ([0-9-]+)\)')
usb_cpu=$(field usbstream.txt ' *CPU +([0-9.]+) %.*')
add_ns=$(field plot.txt 'addDataFrame.*: +([0-9.]+) ns')
replot_ms=$(field plot.txt 'replot and paint.*: ([0-9.]+) ms')
tick_ms=$(field plot.txt 'playback tick.*: +([0-9.]+) ms.*')
ma=$(magcase a)
fit_ms=$(echo "$ma" | sed -nE 's# *one fit +([0-9.]+) ms on 6000.*#\1#p')
off_err=$(echo "$ma" | sed -nE 's# *offset error +([0-9.]+) uT#\1#p')
mat_err=$(echo "$ma" | sed -nE 's# *matrix error \(Frob.\) +([0-9.e+-]+)#\1#p')
spread=$(echo "$ma" | sed -nE 's# *magnitude spread +([0-9.]+) % of 48 uT \(floor with the true correction ([0-9.]+) %.*#\1 % (floor \2 %)#p')
dir_rms=$(echo "$ma" | sed -nE 's# *direction error +RMS ([0-9.]+) deg.*#\1#p')
load=$(field recording.txt 'load ([0-9]+ lines: [0-9.]+ s), .*')
load_rate=$(field recording.txt 'load [0-9]+ lines: [0-9.]+ s, ([0-9]+) lines/s.*')
wc_s=$(field recording.txt '.*wc -l on the same file: ([0-9.]+) s.*')
startup=$(field program.txt 'start-up to a shown window: ([0-9]+) ms')
prog_cpu=$(field program.txt '.*CPU ([0-9.]+) % of one core.*')

echo "| figure | value | in-run reference | target |"
echo "|---|---|---|---|"
echo "| serial decode (ring + cut + CRC + decode) | $decode_ns ns/frame ($decode_m M frames/s) | memcpy of the same bytes $copy_ns ns/frame | ≥ 2 M frames/s |"
for k in 1 8 32; do
  IFS='|' read -r a b <<<"$(serial $k)"
  echo "| serial ingest, $k × 200 frames/s | $a | receiving $b | lost 0 |"
done
echo "| USB, 4 receivers × 17 nodes × 100 frames/s | into the suits: lost $usb_suits; into the main thread: $usb_main frames/s, lost $usb_main_lost | sent $usb_sent ($usb_rate/s); CPU $usb_cpu % incl. the simulator | lost 0 |"
echo "| plot addDataFrame | $add_ns ns | — | — |"
echo "| plot replot (4 curves, 1000 × 420 px) | $replot_ms ms | refresh period 30 ms | — |"
echo "| playback tick (9 plots × 1000 frames) | $tick_ms ms | tick period 10 ms | — |"
echo "| magnetometer fit, 6000 samples | $fit_ms ms | — | — |"
echo "| magnetometer accuracy, 0.3 µT noise | offset $off_err µT, matrix $mat_err, direction RMS $dir_rms° | magnitude spread $spread | — |"
echo "| recorded file load | $load ($load_rate lines/s) | wc -l $wc_s s | 1 M lines < 3 s |"
echo "| program start-up to a shown window | $startup ms | — | — |"
echo "| program, 8 devices × 200 frames/s, one shown | CPU $prog_cpu % of one core | — | < 25 % |"
