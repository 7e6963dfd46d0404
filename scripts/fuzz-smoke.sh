#!/usr/bin/env bash
# Builds every target of the project with clang (warnings as errors) in build-clang/, so the code
# stays buildable by both compilers; then builds the libFuzzer targets with clang (ASan + UBSan) in
# build-fuzz/ and runs each for SECONDS (default 30), seeded from the recorded streams. Exit status
# 1 when the clang build fails or a target finds a fault; the reproducer is left in build-fuzz/
# (crash-*, leak-*, timeout-*). VRN_SKIP_CLANG_BUILD=1 skips the full clang build.
# Usage: scripts/fuzz-smoke.sh [SECONDS]
set -euo pipefail
seconds=${1:-30}
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

# clang and its sanitizer/fuzzer runtime (Debian 12: clang 14).
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
missing=()
for p in clang libclang-rt-14-dev; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing Debian packages: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Every target (program, tools, tests, benchmarks, GUI) with clang; the tests are not run here.
if [ "${VRN_SKIP_CLANG_BUILD:-0}" != 1 ]; then
    clangBuild=${VRN_CLANG_BUILD_DIR:-build-clang}
    clangStart=$(date +%s)
    # Debug: the quickest compile, and clang's warnings do not depend on the optimisation.
    cmake -S . -B "$clangBuild" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
        -DVRN_WERROR=ON >/dev/null
    if ! cmake --build "$clangBuild" -j "${VRN_JOBS:-2}" >"$clangBuild/build.log" 2>&1; then
        grep -E -A8 'error|FAILED' "$clangBuild/build.log" | head -n 60
        echo "clang build of every target: FAILED (full output in $clangBuild/build.log)"
        exit 1
    fi
    echo "clang build of every target: $(( $(date +%s) - clangStart ))s"
fi

build=${VRN_FUZZ_BUILD_DIR:-build-fuzz}
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVRN_FUZZ=ON -DVRN_BUILD_GUI=OFF -DVRN_BUILD_TESTS=OFF -DVRN_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "${VRN_JOBS:-2}" --target FuzzBinaryFraming FuzzNmeaSentence FuzzDecodeSubframe \
    FuzzNavMode2 FuzzUbx

# Seeds: the recorded streams of the tests, the NMEA sample and, when present, the shared captures.
seeds="$build/fuzz-seeds"
rm -rf "$seeds"
mkdir -p "$seeds"
cp tests/data/captures/*.bin samples/sample-nmea.txt "$seeds"/
if [ -d ../shared/testdata/nmea ]; then
    cp ../shared/testdata/nmea/*.log "$seeds"/
fi

# The navigation targets start from raw test-mode streams and subframes (fuzz/seeds).
navSeeds="$build/fuzz-seeds-nav"
rm -rf "$navSeeds"
mkdir -p "$navSeeds"
cp fuzz/seeds/*.bin "$navSeeds"/

# The UBX target starts from u-blox streams: the simulator's (fuzz/seeds) and the shared captures.
ubxSeeds="$build/fuzz-seeds-ubx"
rm -rf "$ubxSeeds"
mkdir -p "$ubxSeeds"
cp fuzz/seeds/*.ubx "$ubxSeeds"/
if [ -d ../shared/testdata/ubx ]; then
    cp ../shared/testdata/ubx/*.log "$ubxSeeds"/
fi

status=0
for entry in FuzzBinaryFraming:fuzz-seeds:4096 FuzzNmeaSentence:fuzz-seeds:4096 \
        FuzzDecodeSubframe:fuzz-seeds-nav:8192 FuzzNavMode2:fuzz-seeds-nav:32768 FuzzUbx:fuzz-seeds-ubx:32768; do
    IFS=: read -r target seedDir maxLen <<<"$entry"
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    echo "== $target for ${seconds}s"
    if ! (cd "$build" && "./fuzz/$target" -max_total_time="$seconds" -max_len="$maxLen" -timeout=10 \
            -rss_limit_mb=1024 -print_final_stats=1 "corpus/$target" "$seedDir" 2>"$target.log"); then
        status=1
        tail -n 40 "$build/$target.log"
    fi
    grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$build/$target.log" || true
done
exit $status
