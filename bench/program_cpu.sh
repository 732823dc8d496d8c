#!/usr/bin/env bash
# The program's CPU, the X server's CPU and the resident memory with 1, 8
# and 32 serial devices at 200 frames/s and with one suit of 17 USB nodes
# at 100 frames/s, one device shown; three interleaved repeats, median and
# range of each. The program runs in its own process on its own Xvfb, the
# serial sensors in a sensorsim process beside it.
#   bench/program_cpu.sh [seconds per run] [repeats]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-10}"; repeats="${2:-3}"
bin="$PWD/build/bin"
display=":$(( (RANDOM % 400) + 200 ))"
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
trap 'kill $xpid 2>/dev/null || true' EXIT
sleep 1
kill -0 $xpid || { echo "Xvfb did not start" >&2; exit 1; }
declare -A cpu xcpu rss
for r in $(seq "$repeats"); do
  for setup in 1 8 32 usb; do
    if [ "$setup" = usb ]; then args=("$seconds" 0 --usb); else args=("$seconds" "$setup"); fi
    line=$(DISPLAY="$display" XVFB_PID=$xpid "$bin/bench_program" "${args[@]}" 2>&1 | grep "streaming" || true)
    [ -n "$line" ] || { echo "run $r of $setup failed" >&2; continue; }
    cpu[$setup]+="$(sed -nE 's/.*CPU ([0-9.]+) %.*/\1/p' <<<"$line") "
    xcpu[$setup]+="$(sed -nE 's/.*X server ([0-9.-]+) %.*/\1/p' <<<"$line") "
    rss[$setup]+="$(sed -nE 's/.*resident ([0-9]+) KiB.*/\1/p' <<<"$line") "
  done
done
# median (range) of a list of numbers, scaled by $2.
stats() { tr ' ' '\n' <<<"$1" | grep -v '^$' | sort -g | awk -v s="$2" '{v[NR]=$1*s} END {
  if (NR == 0) { print "-"; exit } m = (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2;
  printf "%.1f (%.1f–%.1f)", m, v[1], v[NR] }'; }
echo "| devices | program CPU % of one core | X server CPU % | resident MiB |"
echo "|---|---|---|---|"
for setup in 1 8 32 usb; do
  name="$setup × serial 200 Hz"; [ "$setup" = usb ] && name="17 USB nodes × 100 Hz"
  echo "| $name | $(stats "${cpu[$setup]:-}" 1) | $(stats "${xcpu[$setup]:-}" 1) | $(stats "${rss[$setup]:-}" 0.0009765625) |"
done
# What each serial device beyond the first adds, from the medians.
median() { tr ' ' '\n' <<<"$1" | grep -v '^$' | sort -g | awk '{v[NR]=$1} END { if (NR) print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2 }'; }
m1=$(median "${rss[1]:-}"); m32=$(median "${rss[32]:-}")
if [ -n "$m1" ] && [ -n "$m32" ]; then
  awk -v a="$m1" -v b="$m32" 'BEGIN { printf "resident memory per extra serial device: %.2f MiB\n", (b - a) / 31 / 1024 }'
fi
