#!/usr/bin/env bash
# Builds everything (installing what it needs) and runs the whole test suite through ctest.
# Extra arguments go to cmake's configure step, e.g. ./test.sh -DVRN_SANITIZE=address
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/setup.sh" "$@"
build=${VRN_BUILD_DIR:-build}
cd "$top/$build"
ctest --output-on-failure -j "${VRN_JOBS:-$(nproc)}" --timeout 600
