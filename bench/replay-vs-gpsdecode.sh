#!/usr/bin/env bash
# Times `vrnrcvr-replay --protocol nmea` against `gpsdecode` (Debian package gpsd-clients) on the same
# NMEA file of about SIZE_MB megabytes (default 200), built by repeating samples/sample-nmea.txt, and
# prints wall-clock and CPU (user + sys) seconds of each and the ratios. The replay runs three times
# (median); gpsdecode once.
# Usage: bench/replay-vs-gpsdecode.sh [SIZE_MB]
set -euo pipefail
size_mb=${1:-200}
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
build=${VRN_BUILD_DIR:-build}

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
if ! command -v gpsdecode >/dev/null; then
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends gpsd-clients
fi
if [ ! -x "$build/vrnrcvr-replay" ]; then
    [ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja >/dev/null
    cmake --build "$build" -j 2 --target vrnrcvr-replay
fi

data="$build/bench-data/nmea-${size_mb}mb.txt"
if [ ! -f "$data" ]; then
    mkdir -p "$(dirname "$data")"
    block="$data.block"
    : >"$block"
    while [ "$(stat -c %s "$block")" -lt 4000000 ]; do cat samples/sample-nmea.txt >>"$block"; done
    : >"$data"
    while [ "$(stat -c %s "$data")" -lt $((size_mb * 1000000)) ]; do cat "$block" >>"$data"; done
    rm -f "$block"
fi
echo "input: $data ($(stat -c %s "$data") bytes)"

# Prints "wall user sys" seconds of one run of the command (output discarded).
measure() {
    local TIMEFORMAT='%R %U %S'
    { time "$@" >/dev/null 2>/dev/null; } 2>&1
}

replay_runs=()
for _ in 1 2 3; do
    replay_runs+=("$(measure "$build/vrnrcvr-replay" --protocol nmea "$data")")
done
replay=$(printf '%s\n' "${replay_runs[@]}" | sort -n | sed -n 2p)
gpsd=$(measure sh -c "gpsdecode <'$data'")

awk -v r="$replay" -v g="$gpsd" 'BEGIN {
    split(r, a, " "); split(g, b, " ");
    rc = a[2] + a[3]; gc = b[2] + b[3];
    printf "vrnrcvr-replay (median of 3): %.2f s wall, %.2f s cpu\n", a[1], rc;
    printf "gpsdecode:                    %.2f s wall, %.2f s cpu\n", b[1], gc;
    printf "ratio gpsdecode/replay: %.1fx wall, %.1fx cpu\n", b[1] / a[1], gc / (rc > 0 ? rc : 0.001);
}'
