#!/usr/bin/env bash
# Builds the program (installing what it needs) and runs it.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/setup.sh"
build=${VRN_BUILD_DIR:-build}
cd "$top"
if [ -x "$build/vrnrcvr" ]; then
    exec "$build/vrnrcvr" --demo "$@"
fi
# Without the GUI: replay the recorded sample and print what the port log would receive.
exec "$build/vrnrcvr-replay" --protocol nmea samples/sample-nmea.txt
